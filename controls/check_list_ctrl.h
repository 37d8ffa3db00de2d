#pragma once
// CCheckListCtrl: the report list of the media tools: rows with check boxes in column 0, grid
// lines, whole-row selection, and a check box in column 0's header (CCheckHeadCtrl) that checks or
// unchecks every row and shows checked exactly when no row is unchecked. UI thread only.
//
// A row's state image follows the list view's numbering: 0 no check box, 1 unchecked, 2 checked.
// Rows without a check box count as checked for the header.

#include <QHeaderView>
#include <QIcon>
#include <QTableWidget>

class CCheckListCtrl;

class CCheckHeadCtrl : public QHeaderView {
    Q_OBJECT

  public:
    explicit CCheckHeadCtrl(CCheckListCtrl* list);

    // Header item 0's image: 0 empty, 1 unchecked box, 2 checked box.
    int ImageIndex() const { return m_image_index; }
    void SetImageIndex(int index);
    // Gives the header its three images (resource 292 cut into 16 x 16 pieces).
    void SetImages(const QList<QIcon>& images);
    // Rect of header section 0 in the header's coordinates (tests and screenshots click it).
    QRect SectionRect(int logical_index) const;

  private:
    void OnSectionClicked(int logical_index);
    void ShowImage();
    void OnHeaderDataChanged(Qt::Orientation orientation, int first, int last);

    CCheckListCtrl* m_list;
    bool m_showing = false;
    QList<QIcon> m_images;
    int m_image_index = 0;
};

class CCheckListCtrl : public QTableWidget {
    Q_OBJECT

  public:
    static constexpr int kHeaderBitmap = 292;

    explicit CCheckListCtrl(QWidget* parent = nullptr, int control_id = 0);

    // Puts the check box into column 0's header, unchecked. Returns true; a second call does nothing.
    bool InitHeaderCheckBox();
    bool IsHeaderInitialised() const { return m_initialised; }
    CCheckHeadCtrl* HeadCtrl() const { return m_head; }

    // Appends or inserts a row whose column 0 holds text and an unchecked box; returns its index.
    int InsertItem(int row, const QString& text);
    void SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    int GetItemCount() const { return rowCount(); }
    void DeleteItem(int row);
    // Deletes a row, then selects and focuses the row that took its place, or the new last row.
    void DeleteItemSelectingNext(int row);
    void DeleteAllItems();

    int GetStateImage(int row) const;
    void SetStateImage(int row, int index);
    bool GetCheck(int row) const { return GetStateImage(row) == 2; }
    void SetCheck(int row, bool checked) { SetStateImage(row, checked ? 2 : 1); }
    // The selected rows in list order; the first of them, or -1.
    QList<int> GetSelectedRows() const;
    int GetSelectedRow() const;

    void SetBkColor(const QColor& colour);
    int ControlId() const { return m_control_id; }

  private:
    friend class CCheckHeadCtrl;
    void SyncHeaderWithRows();

    int m_control_id = 0;
    bool m_initialised = false;
    CCheckHeadCtrl* m_head = nullptr;
};

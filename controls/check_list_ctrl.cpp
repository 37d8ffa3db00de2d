#include "controls/check_list_ctrl.h"

#include <QBitmap>
#include <QPalette>
#include <algorithm>

#include "controls/bitmap_resources.h"

namespace {

// The header bitmap cut into 16 x 16 images, magenta transparent.
QList<QIcon> HeaderImages() {
    QList<QIcon> icons;
    const QImage strip = LoadBitmapResourceImage(CCheckListCtrl::kHeaderBitmap);
    if (strip.isNull()) return icons;
    for (int x = 0; x + 16 <= strip.width(); x += 16) {
        const QImage piece = strip.copy(x, 0, 16, 16).convertToFormat(QImage::Format_RGB32);
        QPixmap pixmap = QPixmap::fromImage(piece);
        pixmap.setMask(QBitmap::fromImage(piece.createMaskFromColor(qRgb(255, 0, 255), Qt::MaskInColor)));
        icons.append(QIcon(pixmap));
    }
    return icons;
}

}  // namespace

CCheckHeadCtrl::CCheckHeadCtrl(CCheckListCtrl* list) : QHeaderView(Qt::Horizontal, list), m_list(list) {
    setSectionsClickable(true);
    setHighlightSections(false);
    connect(this, &QHeaderView::sectionClicked, this, &CCheckHeadCtrl::OnSectionClicked);
    connect(list->model(), &QAbstractItemModel::headerDataChanged, this,
            &CCheckHeadCtrl::OnHeaderDataChanged);
}

void CCheckHeadCtrl::SetImageIndex(int index) {
    m_image_index = index;
    ShowImage();
}

void CCheckHeadCtrl::SetImages(const QList<QIcon>& images) {
    m_images = images;
    ShowImage();
}

QRect CCheckHeadCtrl::SectionRect(int logical_index) const {
    return QRect(sectionViewportPosition(logical_index), 0, sectionSize(logical_index), height());
}

void CCheckHeadCtrl::ShowImage() {
    if (!model() || model()->columnCount() == 0 || m_showing) return;
    const QIcon icon =
        m_image_index >= 0 && m_image_index < m_images.size() ? m_images[m_image_index] : QIcon();
    m_showing = true;
    model()->setHeaderData(0, Qt::Horizontal, icon, Qt::DecorationRole);
    m_showing = false;
}

void CCheckHeadCtrl::OnHeaderDataChanged(Qt::Orientation orientation, int first, int) {
    // New column titles (a language change) replace the header items; the box stays.
    if (orientation == Qt::Horizontal && first == 0) ShowImage();
}

void CCheckHeadCtrl::OnSectionClicked(int logical_index) {
    if (!m_list->IsHeaderInitialised() || logical_index != 0) return;
    const int index = m_image_index == 1 ? 2 : 1;
    SetImageIndex(index);
    for (int row = 0; row < m_list->rowCount(); ++row) m_list->SetStateImage(row, index);
}

CCheckListCtrl::CCheckListCtrl(QWidget* parent, int control_id)
    : QTableWidget(parent), m_control_id(control_id) {
    m_head = new CCheckHeadCtrl(this);
    setHorizontalHeader(m_head);
    m_head->setStretchLastSection(true);
    m_head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->hide();
    // Compact report rows, one line of text each.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // A report list selects several rows unless its owner asks for one.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0) SyncHeaderWithRows();
    });
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &CCheckListCtrl::SyncHeaderWithRows);
    connect(model(), &QAbstractItemModel::columnsInserted, m_head,
            [this] { m_head->SetImageIndex(m_head->ImageIndex()); });
}

bool CCheckListCtrl::InitHeaderCheckBox() {
    if (m_initialised) return true;
    m_head->SetImages(HeaderImages());
    m_head->SetImageIndex(1);
    m_initialised = true;
    return true;
}

void CCheckListCtrl::SyncHeaderWithRows() {
    if (!m_initialised) return;
    int index = 2;
    for (int row = 0; row < rowCount(); ++row) {
        if (GetStateImage(row) == 1) {
            index = 1;
            break;
        }
    }
    if (index != m_head->ImageIndex()) m_head->SetImageIndex(index);
}

int CCheckListCtrl::InsertItem(int row, const QString& text) {
    if (row < 0 || row > rowCount()) row = rowCount();
    insertRow(row);
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    setItem(row, 0, item);
    return row;
}

void CCheckListCtrl::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
    if (QTableWidgetItem* existing = item(row, column)) {
        existing->setText(text);
        return;
    }
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, column, cell);
}

QString CCheckListCtrl::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CCheckListCtrl::DeleteItem(int row) {
    if (row >= 0 && row < rowCount()) removeRow(row);
}

void CCheckListCtrl::DeleteAllItems() { setRowCount(0); }

int CCheckListCtrl::GetStateImage(int row) const {
    const QTableWidgetItem* cell = item(row, 0);
    if (!cell) return 0;
    const QVariant state = cell->data(Qt::CheckStateRole);
    if (!state.isValid()) return 0;
    return state.toInt() == Qt::Checked ? 2 : 1;
}

void CCheckListCtrl::SetStateImage(int row, int index) {
    if (row < 0 || row >= rowCount()) return;
    QTableWidgetItem* cell = item(row, 0);
    if (!cell) {
        cell = new QTableWidgetItem();
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, 0, cell);
    }
    if (index == 0) {
        cell->setData(Qt::CheckStateRole, QVariant());
        cell->setFlags(cell->flags() & ~Qt::ItemIsUserCheckable);
        return;
    }
    cell->setFlags(cell->flags() | Qt::ItemIsUserCheckable);
    cell->setCheckState(index == 2 ? Qt::Checked : Qt::Unchecked);
}

void CCheckListCtrl::DeleteItemSelectingNext(int row) {
    DeleteItem(row);
    viewport()->update();
    const int rows = rowCount();
    if (rows == 0) return;
    const int next = std::min(row, rows - 1);
    clearSelection();
    selectRow(next);
    setCurrentCell(next, 0);
    setFocus();
}

QList<int> CCheckListCtrl::GetSelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CCheckListCtrl::GetSelectedRow() const {
    const QList<int> rows = GetSelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void CCheckListCtrl::SetBkColor(const QColor& colour) {
    QPalette shades = palette();
    shades.setColor(QPalette::Base, colour);
    setPalette(shades);
    update();
}

#pragma once
// CSuiteDlg: the launcher's window. Frameless, drawn from skin/bk.png at the screen's top-left with
// rounded corners, dragged from anywhere on its background. Its image buttons start the audio tool
// (1003) and the video tool (1004) as separate processes, close the launcher (1002), or open the
// home and order pages (1000, 1001; loaded and wired but never shown). The About dialog is on the
// right-click menu, as a frameless window has no system menu. UI thread only.

#include <QDialog>
#include <QPixmap>

#include "launcher/suite_profile.h"
#include "platform/window_mover.h"

class CMyButton;
class QMenu;

inline constexpr int kIdHomePage = 1000;
inline constexpr int kIdBuyNow = 1001;
inline constexpr int kIdClose = 1002;
inline constexpr int kIdProduct0 = 1003;
inline constexpr int kIdProduct1 = 1004;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

class CSuiteDlg : public QDialog {
    Q_OBJECT
  public:
    // Reads the profile and the skin from the current directory. start runs the tools and the
    // browser fallback.
    explicit CSuiteDlg(StartProcessFunction start = StartDetachedProcess, QWidget* parent = nullptr);

    CMyButton* button(int id) const;
    const SuiteProfile& profile() const { return m_profile; }
    // The right-click menu with its About item.
    QMenu* CreateContextMenu();
    void ShowAboutDialog();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnCommand(int id);

    StartProcessFunction m_start;
    SuiteProfile m_profile;
    QPixmap m_background;
    platform::WindowMover m_mover;
};

#include "launcher/suite_dlg.h"

#include <QAbstractButton>
#include <QBitmap>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "launcher/my_button.h"
#include "platform/desktop_locale.h"
#include "platform/dialog_template.h"

namespace {

const QString kDialogFont = QStringLiteral("宋体");

struct SkinButton {
    int id;
    const char* image;
    int x, y;
};

constexpr SkinButton kSkinButtons[] = {
    {kIdHomePage, "skin/HomePage.png", 588, 316}, {kIdBuyNow, "skin/BuyNow.png", 429, 316},
    {kIdClose, "skin/Close.png", 620, 8},         {kIdProduct0, "skin/Product0.png", 37, 161},
    {kIdProduct1, "skin/Product1.png", 337, 161},
};

platform::DialogSpec SuiteTemplate() {
    using platform::ControlKind;
    platform::DialogSpec d;
    d.id = 102;
    d.w = 320;
    d.h = 200;
    d.font_name = kDialogFont;
    d.font_points = 9;
    d.caption = false;
    d.controls = {
        {kIdHomePage, ControlKind::Custom, QStringLiteral("Button1"), 0, 0, 0, 0, platform::kStyleHidden},
        {kIdBuyNow, ControlKind::Custom, QStringLiteral("Button2"), 0, 0, 0, 0, platform::kStyleHidden},
        {kIdClose, ControlKind::Custom, QStringLiteral("Button3"), 0, 0, 0, 0, 0},
        {kIdProduct0, ControlKind::Custom, QStringLiteral("Button4"), 0, 0, 0, 0, 0},
        {kIdProduct1, ControlKind::Custom, QStringLiteral("Button5"), 0, 0, 0, 0, 0},
    };
    return d;
}

// The launcher has no language file: its few texts are English, or Chinese on a Chinese desktop.
struct LauncherTexts {
    QString about_item, about_title, about_line, ok;
};

LauncherTexts Texts() {
    if (platform::DesktopLanguage() == QLatin1String("zh"))
        return {QStringLiteral("关于 Ostrand(&A)..."), QStringLiteral("关于 Ostrand"),
                QStringLiteral("启动 Taviro（视频）和 Melisk（音频）。"), QStringLiteral("确定")};
    return {QStringLiteral("&About Ostrand..."), QStringLiteral("About Ostrand"),
            QStringLiteral("Starts Taviro (video) and Melisk (audio)."), QStringLiteral("OK")};
}

platform::DialogSpec AboutTemplate() {
    using platform::ControlKind;
    const LauncherTexts texts = Texts();
    platform::DialogSpec d;
    d.id = 100;
    d.title = texts.about_title;
    d.w = 235;
    d.h = 55;
    d.font_name = kDialogFont;
    d.font_points = 9;
    d.controls = {
        {platform::kStaticId, ControlKind::Label, QStringLiteral("Ostrand 2.0"), 40, 10, 119, 8, 0},
        {platform::kStaticId, ControlKind::Label, texts.about_line, 40, 25, 150, 8, 0},
        {1, ControlKind::DefPushButton, texts.ok, 178, 7, 50, 14, platform::kStyleGroup},
    };
    return d;
}

// A window region with corners cut by a 20 x 20 ellipse, as CreateRoundRectRgn makes it.
QRegion RoundedRegion(const QSize& size) {
    QBitmap mask(size);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(QRect(QPoint(0, 0), size), 10, 10);
    painter.end();
    return QRegion(mask);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    platform::BuildDialog(this, AboutTemplate());
    if (auto* ok = platform::ControlAs<QPushButton>(this, 1)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

CSuiteDlg::CSuiteDlg(StartProcessFunction start, QWidget* parent)
    : QDialog(parent), m_start(std::move(start)) {
    platform::BuildDialog(this, SuiteTemplate(),
                          [](const platform::ControlSpec&, QWidget* p) { return new CMyButton(p); });
    setWindowFlag(Qt::FramelessWindowHint);
    setWindowIcon(QIcon(QStringLiteral(":/icon/128.png")));
    m_profile = LoadProfile();
    setWindowTitle(m_profile.title);
    if (m_background.load(QStringLiteral("skin/bk.png"))) {
        move(0, 0);
        setFixedSize(m_background.size());
    }
    setMask(RoundedRegion(size()));
    for (const auto& skin : kSkinButtons) {
        CMyButton* b = button(skin.id);
        b->SetSkinImage(QString::fromLatin1(skin.image), skin.x, skin.y, m_background);
        connect(b, &QPushButton::clicked, this, [this, id = skin.id] { OnCommand(id); });
    }
}

CMyButton* CSuiteDlg::button(int id) const { return platform::ControlAs<CMyButton>(this, id); }

void CSuiteDlg::OnCommand(int id) {
    switch (id) {
        case kIdHomePage:
            OpenUrl(m_profile.home_page_url, m_start);
            break;
        case kIdBuyNow:
            OpenUrl(m_profile.order_url, m_start);
            break;
        case kIdClose:
            reject();
            break;
        case kIdProduct0:
            StartTool(m_profile.product0, QStringLiteral("melisk"), m_start);
            break;
        case kIdProduct1:
            StartTool(m_profile.product1, QStringLiteral("taviro"), m_start);
            break;
    }
}

void CSuiteDlg::paintEvent(QPaintEvent* event) {
    if (m_background.isNull()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter(this).drawPixmap(0, 0, m_background);
}

// The whole background acts as a caption.
void CSuiteDlg::mousePressEvent(QMouseEvent* event) {
    if (!m_mover.Press(this, event)) QDialog::mousePressEvent(event);
}

void CSuiteDlg::mouseMoveEvent(QMouseEvent* event) { m_mover.Move(this, event); }

void CSuiteDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_mover.Release();
    QDialog::mouseReleaseEvent(event);
}

QMenu* CSuiteDlg::CreateContextMenu() {
    auto* menu = new QMenu(this);
    menu->addSeparator();
    menu->addAction(Texts().about_item, this, &CSuiteDlg::ShowAboutDialog);
    return menu;
}

void CSuiteDlg::ShowAboutDialog() {
    CAboutDlg about(this);
    about.exec();
}

void CSuiteDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CSuiteDlg::keyPressEvent(QKeyEvent* event) {
    // Enter presses the button the user reached with Tab (the focus the window gives its first
    // button when it opens does not count); it never closes the launcher by itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && focused->isVisible() && testAttribute(Qt::WA_KeyboardFocusChange)) focused->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

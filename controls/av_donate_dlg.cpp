#include "controls/av_donate_dlg.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "platform/dialog_template.h"
#include "platform/profile.h"
#include "platform/program_folder.h"

namespace {

constexpr int kTickMs = 1000;
constexpr int kDefaultCountdown = 60;

platform::DialogSpec DonateTemplate() {
    using platform::ControlKind;
    platform::DialogSpec d;
    d.id = 332;
    d.title = QStringLiteral("Sponsorship");
    d.w = 417;
    d.h = 228;
    d.system_menu = false;
    d.controls = {
        {CAVDonateDlg::kMessage, ControlKind::Label, QStringLiteral("静态"), 12, 8, 393, 36},
        {CAVDonateDlg::kFirstPicture, ControlKind::Frame, {}, 44, 50, 150, 146, platform::kStyleBlackFrame},
        {CAVDonateDlg::kSecondPicture, ControlKind::Frame, {}, 223, 50, 150, 146, platform::kStyleBlackFrame},
        {CAVDonateDlg::kDoneButton, ControlKind::DefPushButton, QStringLiteral("确定"), 96, 204, 130, 18,
         platform::kStyleDisabled},
        {CAVDonateDlg::kLaterButton, ControlKind::PushButton, QStringLiteral("下次再说"), 240, 204, 90, 18,
         platform::kStyleDisabled},
    };
    return d;
}

// The audio tool's copy of the prompt: its own size, title, picture ids and later button id.
platform::DialogSpec AudioDonateTemplate() {
    using platform::ControlKind;
    platform::DialogSpec d;
    d.id = 329;
    d.title = QStringLiteral("谢谢您的赞助");
    d.w = 412;
    d.h = 234;
    d.system_menu = false;
    d.controls = {
        {CAVDonateDlg::kMessage, ControlKind::Label,
         QStringLiteral("本软件完全免费，如果您觉得它对您有帮助，请扫描下方的二维码赞助我们一元钱。"), 12, 8,
         388, 36},
        {CAVDonateDlg::kAudioFirstPicture,
         ControlKind::Frame,
         {},
         42,
         50,
         150,
         146,
         platform::kStyleBlackFrame},
        {CAVDonateDlg::kAudioSecondPicture,
         ControlKind::Frame,
         {},
         220,
         50,
         150,
         146,
         platform::kStyleBlackFrame},
        {CAVDonateDlg::kDoneButton, ControlKind::DefPushButton, QStringLiteral("我已赞助一元钱，开始剪切"),
         86, 206, 140, 20, platform::kStyleDisabled},
        {CAVDonateDlg::kAudioLaterButton, ControlKind::PushButton, QStringLiteral("下次再说"), 240, 206, 90,
         20, platform::kStyleDisabled},
    };
    return d;
}

}  // namespace

CAVDonateDlg::CAVDonateDlg(const QString& program_folder, QWidget* parent)
    : CAVDonateDlg(program_folder, Variant::kVideoTool, parent) {}

CAVDonateDlg::CAVDonateDlg(const QString& program_folder, Variant variant, QWidget* parent)
    : QDialog(parent), m_program_folder(program_folder), m_variant(variant) {
    const bool audio = variant == Variant::kAudioTool;
    platform::BuildDialog(this, audio ? AudioDonateTemplate() : DonateTemplate());
    m_message = platform::ControlAs<QLabel>(this, kMessage);
    m_done = platform::ControlAs<QPushButton>(this, kDoneButton);
    m_later = platform::ControlAs<QPushButton>(this, audio ? kAudioLaterButton : kLaterButton);
    m_later->setAutoDefault(false);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("timer1"));
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &CAVDonateDlg::Tick);
    connect(m_done, &QPushButton::clicked, this, &CAVDonateDlg::OnDone);
    connect(m_later, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
}

void CAVDonateDlg::PrepareToOpen() {
    // Always the Chinese file, whatever language the tool shows.
    const QString chinese = platform::LanguageFilePath(m_program_folder, QStringLiteral("chinese.ini"));
    setWindowTitle(QStringLiteral("我们需要您的赞助，谢谢您的支持！"));
    const QString first = platform::ReadProfileString("JIEMIAN", "zzly", QString(), chinese);
    const QString second = platform::ReadProfileString("JIEMIAN", "zzly1", QString(), chinese);
    m_done->setText(m_variant == Variant::kAudioTool ? QStringLiteral("我已赞助一元钱，开始剪切")
                                                     : QStringLiteral("确定"));
    m_later->setText(QStringLiteral("下次再说"));
    m_done->setEnabled(false);
    m_later->setEnabled(false);
    m_later->setVisible(platform::ReadProfileInt("SHOW", "bshow", 1, chinese) != 0);
    m_remaining = platform::ReadProfileInt("TIMES", "time", kDefaultCountdown, chinese);
    // A countdown of 0 or less would never reach 0 on its way down: nothing to wait for.
    if (m_remaining <= 0)
        EnableButtons();
    else
        m_timer->start();
    m_message->setText(first + "\n        " + second);
}

int CAVDonateDlg::Run() {
    PrepareToOpen();
    const int result = exec();
    m_timer->stop();
    return result;
}

void CAVDonateDlg::Tick() {
    --m_remaining;
    const QString n = QString::number(m_remaining);
    m_done->setText(QStringLiteral("我已完成赞助,下一步(") + n + QStringLiteral("秒)"));
    m_later->setText(QStringLiteral("下次再说(") + n + QStringLiteral("秒)"));
    if (m_remaining <= 0) EnableButtons();
}

void CAVDonateDlg::EnableButtons() {
    m_timer->stop();
    m_done->setEnabled(true);
    m_later->setEnabled(true);
}

void CAVDonateDlg::OnDone() {
    platform::WriteProfileString("TIMES", "time", QStringLiteral("1"), m_program_folder + "/setting.ini");
    done(QDialog::Rejected);
}

void CAVDonateDlg::reject() {
    // Escape counts as the later button, and only once the countdown has ended.
    if (m_later->isEnabled()) done(QDialog::Rejected);
}

void CAVDonateDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Loaded on every paint: the pictures may have been fetched while the tool runs.
    const bool audio = m_variant == Variant::kAudioTool;
    const std::pair<int, const char*> pictures[] = {
        {audio ? kAudioFirstPicture : kFirstPicture, "weixin.jpg"},
        {audio ? kAudioSecondPicture : kSecondPicture, "zfb.jpg"}};
    for (const auto& [id, file] : pictures) {
        const QImage image(m_program_folder + "/" + QString::fromLatin1(file));
        const QWidget* area = platform::ControlById(this, id);
        if (!image.isNull() && area) painter.drawImage(area->geometry(), image);
    }
}

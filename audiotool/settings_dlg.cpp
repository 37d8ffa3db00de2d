#include "audiotool/settings_dlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "common/dialog_keys.h"
#include "common/language_files.h"
#include "platform/dialog_template.h"
#include "platform/profile.h"

namespace melisk {

namespace {

platform::DialogSpec SettingsTemplate() {
    using namespace platform;
    using C = CSettings;
    platform::DialogSpec d{167, QStringLiteral("参数设置"), 177, 177};
    d.controls = {
        {C::kFormatLabel, ControlKind::Label, QStringLiteral("格式预览:"), 7, 2, 56, 12},
        {C::kFormatPreview, ControlKind::PushButton, {}, 7, 15, 161, 16, kStyleDisabled},
        {C::kEncoderLabel, ControlKind::Label, QStringLiteral("编码器:"), 17, 52, 45, 8},
        {C::kEncoder, ControlKind::ComboBox, {}, 73, 49, 80, 25},
        {C::kQualityLabel, ControlKind::Label, QStringLiteral("音频质量:"), 17, 76, 50, 8},
        {C::kBitRate, ControlKind::ComboBox, {}, 73, 73, 80, 62},
        {C::kSampleRateLabel, ControlKind::Label, QStringLiteral("采样率:"), 17, 99, 41, 8},
        {C::kSampleRate, ControlKind::ComboBox, {}, 73, 97, 80, 69},
        {C::kChannelsLabel, ControlKind::Label, QStringLiteral("通道:"), 17, 124, 36, 8},
        {C::kChannels, ControlKind::ComboBox, {}, 73, 121, 80, 69},
        {1063, ControlKind::ComboBox, {}, 73, 49, 80, 25, kStyleHidden | kStyleDisabled},
        {1064, ControlKind::ComboBox, {}, 73, 49, 80, 25, kStyleHidden | kStyleDisabled},
        {1065, ControlKind::ComboBox, {}, 73, 49, 80, 25, kStyleHidden | kStyleDisabled},
        {1066, ControlKind::ComboBox, {}, 73, 49, 80, 25, kStyleHidden | kStyleDisabled},
        // Listed after the controls it surrounds, so it stays below them.
        {C::kAudioGroup, ControlKind::GroupBox, QStringLiteral("音频参数"), 7, 36, 161, 107},
        {C::kDefaultButton, ControlKind::PushButton, QStringLiteral("Default"), 7, 155, 44, 19, kStyleHidden},
        {C::kOk, ControlKind::DefPushButton, QStringLiteral("确定"), 72, 155, 45, 19},
        {C::kCancel, ControlKind::PushButton, QStringLiteral("取消"), 122, 155, 46, 19},
    };
    return d;
}

// Fills a list and selects one of its entries.
void Fill(QComboBox* box, const QStringList& items, int selected) {
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(selected);
}

}  // namespace

CSettings::CSettings(const QString& program_folder, OutputSettings* settings, QWidget* parent)
    : MovableDialog(parent), m_settings(settings) {
    platform::BuildDialog(this, SettingsTemplate());
    new common::DialogKeyBlocker(this, /*block_escape=*/false);

    const common::ProgramFiles files(program_folder);
    const QString language =
        files.languagePath(platform::ReadProfileString("LANGUAGE", "file", QString(), files.settingsPath()));
    const std::pair<int, const char*> texts[] = {{kFormatLabel, "yzfa"},
                                                 {kAudioGroup, "ypcs"},
                                                 {kEncoderLabel, "bmq"},
                                                 {kQualityLabel, "ypzl"},
                                                 {kSampleRateLabel, "cyl"},
                                                 {kChannelsLabel, "td"},
                                                 {kOk, "qd"},
                                                 {kCancel, "qx"}};
    for (const auto& [id, key] : texts) {
        QWidget* w = platform::ControlById(this, id);
        const QString text = common::ReadLanguageText(language, "JIEMIAN", key);
        if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
        if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
        if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(text);
    }
    setWindowTitle(common::ReadLanguageText(language, "JIEMIAN", "cssz"));
    for (int i = 0; i < ChannelTexts().size(); ++i) {
        const QString text = common::ReadLanguageText(language, "JIEMIAN", kChannelTextKeys[i]);
        m_channel_texts << (text.isEmpty() ? ChannelTexts()[i] : text);
    }

    auto* preview = platform::ControlAs<QPushButton>(this, kFormatPreview);
    preview->setText(QString::fromLatin1(kFormatPreviewText));
    QPalette red = preview->palette();
    red.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(255, 0, 0));
    preview->setPalette(red);
    m_encoder = combo(kEncoder);
    m_bit_rate = combo(kBitRate);
    m_sample_rate = combo(kSampleRate);
    m_channels = combo(kChannels);
    m_encoder->addItem(QStringLiteral("MP3"));
    m_encoder->addItem(common::ReadLanguageText(language, "JIEMIAN", "mp3fz"));
    m_encoder->setCurrentIndex(kEncodeMp3);

    connect(m_encoder, &QComboBox::currentIndexChanged, this, &CSettings::FillLists);
    connect(m_sample_rate, &QComboBox::currentIndexChanged, this, &CSettings::FillBitRates);
    connect(platform::ControlAs<QPushButton>(this, kOk), &QPushButton::clicked, this, &CSettings::OnOk);
    connect(platform::ControlAs<QPushButton>(this, kCancel), &QPushButton::clicked, this,
            [this] { done(QDialog::Rejected); });
}

QComboBox* CSettings::combo(int id) const { return platform::ControlAs<QComboBox>(this, id); }

void CSettings::FillLists() {
    // Whatever was chosen before, the lists show their defaults again; a join without re-encoding
    // keeps the files' own bit rate, sample rate and channels, so its lists are not for choosing.
    Fill(m_sample_rate, SampleRateTexts(), kDefaultSampleRateItem);
    Fill(m_bit_rate, BitRateTexts(), kDefaultBitRateItem);
    FillBitRates();
    Fill(m_channels, m_channel_texts, kDefaultChannelItem);
    const bool encoding = m_encoder->currentIndex() != kCopyMp3;
    for (QComboBox* list : {m_sample_rate, m_bit_rate, m_channels}) list->setEnabled(encoding);
}

void CSettings::FillBitRates() {
    QComboBox* box = m_bit_rate;
    const int32_t chosen = SettingNumber(box->currentText());
    const QStringList allowed = BitRateTextsFor(SettingNumber(m_sample_rate->currentText()));
    if (allowed.isEmpty() ||
        box->count() == allowed.size() && box->itemText(box->count() - 1) == allowed.last())
        return;
    int keep = 0;  // the chosen rate, or the highest allowed below it
    for (int i = 0; i < allowed.size(); ++i)
        if (SettingNumber(allowed[i]) <= chosen) keep = i;
    Fill(box, allowed, keep);
}

void CSettings::showEvent(QShowEvent* event) {
    FillLists();
    QDialog::showEvent(event);
}

void CSettings::OnOk() {
    OutputSettings& s = *m_settings;
    s.sample_rate = SettingNumber(m_sample_rate->currentText());
    s.channels = m_channels->currentIndex() + 1;  // "1 Channel Mono", "2 Channel Stereo"
    s.bit_rate = SettingNumber(m_bit_rate->currentText());
    s.encoder = m_encoder->currentText();
    s.copy = m_encoder->currentIndex() == kCopyMp3;
    s.list_texts = {m_encoder->currentText(), m_bit_rate->currentText(), m_sample_rate->currentText(),
                    ChannelTexts().value(m_channels->currentIndex())};
    s.confirmed_format_id = s.format_id;
    done(QDialog::Accepted);
}

}  // namespace melisk

#pragma once
// The output settings of a merge (encoder, bit rate, sample rate, channels): kept for the run only,
// starting from their defaults at every start, and changed by the settings dialog's OK.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace melisk {

inline constexpr int32_t kMp3FormatId = 90106;

struct OutputSettings {
    int32_t format_id = kMp3FormatId;
    QString encoder = QStringLiteral("MP3");
    int32_t bit_rate = 128000;  // bits per second
    int32_t sample_rate = 44100;
    int32_t channels = 2;
    bool copy = false;  // the encoder "MP3 (copy, no re-encoding)": MP3 frames joined as they are
    // What OK stored last: the lists' texts and the confirmed format id (0 before any OK).
    QStringList list_texts;
    int32_t confirmed_format_id = 0;
};

// The lists of the settings dialog, in order, and the entry each selects when it is filled.
QStringList SampleRateTexts();  // "44100 Hz", "48000 Hz", "22050 Hz", "32000 Hz"
QStringList BitRateTexts();     // "32 kbps" .. "320 kbps"
QStringList ChannelTexts();     // "1 Channel Mono", "2 Channel Stereo"
inline constexpr int kDefaultSampleRateItem = 0;
inline constexpr int kDefaultBitRateItem = 3;
inline constexpr int kDefaultChannelItem = 1;

// The entries of BitRateTexts() an MP3 at sample_rate can have: MPEG-1 layer III (32 kHz and more)
// goes to 320 kbps, MPEG-2 layer III (below 32 kHz) only to 160 kbps.
QStringList BitRateTextsFor(int32_t sample_rate);

// The language keys of ChannelTexts()' entries ("1 Channel Mono", "2 Channel Stereo"), in order.
inline constexpr const char* kChannelTextKeys[] = {"dsd", "ltsd"};

// "128 kbps" gives 128000 (the number before " kbps" read as a fraction, times 1000, truncated),
// "48000 Hz" gives 48000; any other text, the empty one included, gives 0.
int32_t SettingNumber(const QString& text);

// "1 Channel Mono" 1, "2 Channel Stereo" 2, "5.1 Channel" 6; any other text gives previous.
int32_t ChannelCount(const QString& text, int32_t previous);

}  // namespace melisk

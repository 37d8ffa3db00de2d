#include "audiotool/output_settings.h"

namespace melisk {

QStringList SampleRateTexts() { return {"44100 Hz", "48000 Hz", "22050 Hz", "32000 Hz"}; }

QStringList BitRateTexts() {
    return {"32 kbps", "64 kbps", "96 kbps", "128 kbps", "160 kbps", "192 kbps", "256 kbps", "320 kbps"};
}

QStringList BitRateTextsFor(int32_t sample_rate) {
    const int32_t highest = sample_rate >= 32000 ? 320000 : 160000;
    QStringList allowed;
    for (const QString& text : BitRateTexts())
        if (SettingNumber(text) <= highest) allowed << text;
    return allowed;
}

QStringList ChannelTexts() { return {"1 Channel Mono", "2 Channel Stereo"}; }

int32_t SettingNumber(const QString& text) {
    if (const int at = text.indexOf(QLatin1String(" kbps")); at >= 0)
        return static_cast<int32_t>(text.left(at).toDouble() * 1000);
    if (const int at = text.indexOf(QLatin1String(" Hz")); at >= 0) return text.left(at).toInt();
    return 0;
}

int32_t ChannelCount(const QString& text, int32_t previous) {
    if (text == QLatin1String("1 Channel Mono")) return 1;
    if (text == QLatin1String("2 Channel Stereo")) return 2;
    if (text == QLatin1String("5.1 Channel")) return 6;
    return previous;
}

}  // namespace melisk

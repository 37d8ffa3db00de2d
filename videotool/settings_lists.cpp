#include "videotool/settings_lists.h"

#include "jobs/output_presets.h"

namespace taviro {

QStringList PresetEntryTexts() {
    QStringList texts;
    for (const OutputPreset& preset : kOutputPresets) texts << QString::fromUtf8(preset.entry_text);
    return texts;
}

QStringList VideoQualityTexts() {
    return {"1500 kbps", "2000 kbps", "2500 kbps",  "3000 kbps",  "4000 kbps", "5000 kbps",
            "6000 kbps", "8000 kbps", "12000 kbps", "16000 kbps", "20000 kbps"};
}

QStringList VideoSizeTexts() {
    return {"320*240",  "640*480",  "720*480",   "720*576",  "960*540",
            "1024*768", "1280*720", "1920*1080", "2880*1440"};
}

QStringList CutFrameRateTexts() {
    return {"8.0 fps",  "10.0 fps", "12.0 fps",  "14.985 fps", "15.0 fps", "20.0 fps", "23.975 fps",
            "24.0 fps", "25.0 fps", "29.97 fps", "30.0 fps",   "50.0 fps", "60.0 fps"};
}

QStringList CutAudioQualityTexts() {
    return {"32 kbps", "64 kbps", "96 kbps", "128 kbps", "160 kbps", "192 kbps", "256 kbps", "320 kbps"};
}

QStringList CutSampleRateTexts() { return {"22050 Hz", "32000 Hz", "44100 Hz", "48000 Hz"}; }

QStringList MergeFrameRateTexts() {
    return {"10.0 fps", "15.0 fps",  "20.0 fps", "23.975 fps", "24.0 fps",
            "25.0 fps", "29.97 fps", "30.0 fps", "50.0 fps",   "60.0 fps"};
}

QStringList MergeAudioQualityTexts() {
    return {"64 kbps", "96 kbps", "128 kbps", "160 kbps", "192 kbps", "256 kbps", "320 kbps"};
}

QStringList MergeSampleRateTexts() { return {"44100 Hz", "48000 Hz", "22050 Hz", "32000 Hz"}; }

QStringList ChannelTexts() { return {"1 Channel Mono", "2 Channel Stereo"}; }

}  // namespace taviro

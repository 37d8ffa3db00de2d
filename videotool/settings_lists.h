#pragma once
// The item lists of the cut and merge settings dialogs, in list order (index 0 first). The indexes
// are what setting.ini stores, so the order is part of the file format.

#include <QStringList>

namespace taviro {

QStringList PresetEntryTexts();        // the seven output presets, both dialogs
QStringList VideoQualityTexts();       // "1500 kbps" .. "20000 kbps", both dialogs
QStringList VideoSizeTexts();          // "320*240" .. "2880*1440", both dialogs
QStringList CutFrameRateTexts();       // after the source's own rate: "8.0 fps" .. "60.0 fps"
QStringList CutAudioQualityTexts();    // "32 kbps" .. "320 kbps"
QStringList CutSampleRateTexts();      // "22050 Hz", "32000 Hz", "44100 Hz", "48000 Hz"
QStringList MergeFrameRateTexts();     // "10.0 fps" .. "60.0 fps", no source rate
QStringList MergeAudioQualityTexts();  // "64 kbps" .. "320 kbps"
QStringList MergeSampleRateTexts();    // "44100 Hz", "48000 Hz", "22050 Hz", "32000 Hz"
QStringList ChannelTexts();            // "1 Channel Mono", "2 Channel Stereo"

}  // namespace taviro

#pragma once
// The control ids of template 167, the output settings dialog: Taviro's merge settings and Melisk's
// audio-only variant of it, which keeps the video lists hidden at their ids. Where the two use a
// control differently each has its own name for it (Melisk's encoder list is the audio codec list).

namespace common {

enum SettingsControlId : int {
    kStart = 1,  // Taviro's start button
    kOk = 1,     // Melisk's OK button
    kCancel = 2,
    kFolder = 1003,
    kIndirect = 1007,
    kVideoSize = 1063,
    kVideoCodec = 1064,
    kFrameRate = 1065,
    kVideoQuality = 1066,
    kSampleRate = 1067,
    kChannels = 1068,
    kAudioCodec = 1069,
    kEncoder = 1069,
    kAudioQuality = 1070,
    kBitRate = 1070,
    kBrowse = 1072,
    kDefaultButton = 1072,
    kFileName = 1075,
    kPreset = 1105,
    kFormatPreview = 1134,
    kFormatLabel = 1196,
    kAudioGroup = 1197,
    kEncoderLabel = 1198,
    kQualityLabel = 1199,
    kSampleRateLabel = 1200,
    kChannelsLabel = 1201,
    kDirect = 1256,
};

}  // namespace common

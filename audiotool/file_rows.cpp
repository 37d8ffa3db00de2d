#include "audiotool/file_rows.h"

#include <algorithm>
#include <limits>

#include "common/time_text.h"

namespace melisk {

int32_t UsToMs(int64_t us) {
    return static_cast<int32_t>(std::clamp<int64_t>(us / 1000, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::array<QString, kFileListColumns> FileRowTexts(const QString& path, const ProbeResult& probe,
                                                   const QString& status) {
    const int32_t duration_ms = UsToMs(probe.duration_us);
    return {path,
            QString::fromStdString(TimeToText(UsToMs(probe.range_start_us))),
            QString::fromStdString(TimeToText(duration_ms)),
            QString::fromLatin1(kMp3FormatEntry),
            status,
            QString::number(duration_ms)};
}

// Every kind of audio file the engine reads; "*" also matches files without an extension.
QString AudioFileFilter(const QString& audio_files, const QString& mp3_files, const QString& all_files) {
    return audio_files +
           "|*.aac;*.ac3;*.aif;*.aiff;*.aifc;*.amr;*.ape;*.au;*.caf;*.cda;*.cue;*.dts;*.eac3;*.flac;*.m4a;"
           "*.m4b;*.mka;*.mp2;*.mp3;*.mpa;*.oga;*.ogg;*.opus;*.ra;*.ram;*.snd;*.tta;*.w64;*.wav;*.weba;*.wma;"
           "*.wv|" +
           mp3_files + "|*.mp3|" + all_files + "|*|";
}

}  // namespace melisk

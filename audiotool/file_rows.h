#pragma once
// The merge list's row texts and the add command's texts, from a path and its probe. Paths are UTF-8.

#include <QString>
#include <array>
#include <cstdint>

#include "engine/probe.h"

namespace melisk {

inline constexpr int kFileListColumns = 6;
enum FileListColumn {
    kPathColumn = 0,
    kStartColumn,
    kEndColumn,
    kFormatColumn,
    kStatusColumn,
    kDurationColumn
};
// Column widths in pixels; the status column takes what the others leave (see the window).
inline constexpr std::array<int, kFileListColumns> kFileListColumnWidths = {250, 100, 100, 0, 0, 0};

// The output format list's one entry, also column 3 of every row.
inline constexpr const char* kMp3FormatEntry = "MP3-MPEG Layer-3 Audio(*.mp3)";

// The six column texts of a row for a probed file; status is the "zb" text.
std::array<QString, kFileListColumns> FileRowTexts(const QString& path, const ProbeResult& probe,
                                                   const QString& status);

// The open-file dialog's filter in the "description|patterns|" form, from "symtwj", "mp3wj", "sywj".
QString AudioFileFilter(const QString& audio_files, const QString& mp3_files, const QString& all_files);

// Probed microseconds to the windows' milliseconds (truncating, held within 32 bits).
int32_t UsToMs(int64_t us);

}  // namespace melisk

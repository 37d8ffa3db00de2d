#pragma once
// The texts of the merge list's rows and of the add command's messages, computed from a path and
// the probe's results. Paths are UTF-8 with "/" as the separator.

#include <array>
#include <cstdint>
#include <string>

struct ProbeResult;

inline constexpr int kFileListColumns = 6;

// Column widths of the list, pixels.
inline constexpr std::array<int, kFileListColumns> kFileListColumnWidths = {175, 60, 90, 70, 70, 40};

// A chosen path as the list keeps it: a relative path gets each doubled separator reduced to one;
// a path that begins with the separator is kept as it is.
std::string NormalizeChosenPath(const std::string& path);

// The text after the last "." of the path, without the dot; the whole path when it has none.
std::string ExtensionText(const std::string& path);

// The text after the last separator; the whole path when it has none.
std::string FileNameText(const std::string& path);

// "%5.2f" of num/den followed by "fps"; a rate without a denominator shows as 0.
std::string FrameRateText(int32_t num, int32_t den);

// The six column texts of a row for a file the probe read. status is the "zb" text.
std::array<std::string, kFileListColumns> FileRowTexts(const std::string& path, const ProbeResult& probe,
                                                       const std::string& status);

// The open-file dialog's filter in the "description|patterns|" form.
std::string VideoFileFilter(const std::string& videos_text, const std::string& all_files_text);

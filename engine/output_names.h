#pragma once
// Output file names: the default name of an input, the characters a name may not hold, and the
// first name that is free. Paths are UTF-8 with "/" as the separator.

#include <string>
#include <string_view>

// A file path's extension from the last "." of its file name, dot included; empty when the file name
// has no ".".
std::string FileExtension(std::string_view path);
// The default output name for a file: its file name without folder and extension.
std::string DefaultOutputName(std::string_view path);
// An output name with "/", "\", ":", "*", "?", "<", ">", "|" and "@" removed, as the dialogs do.
std::string SanitizeOutputName(std::string_view name);
// folder + "/" + name + extension.
std::string ComposeOutputPath(std::string_view folder, std::string_view name, std::string_view extension);
// The first of path, path(0), path(1), ... (the counter before the extension) that names nothing
// that exists: no file, folder or link, not even a dangling one. Empty when the system refuses the
// name it came to (too long, or a path it cannot hold).
std::string UniqueOutputPath(const std::string& path);
// path with the counter n before its extension: "clip.mp4", 3 gives "clip(3).mp4".
std::string NumberedOutputPath(std::string_view path, unsigned long n);
// The path a numbered name was counted from: "clip(3).mp4" gives "clip.mp4"; any other path is its
// own base.
std::string OutputNameBase(std::string_view path);

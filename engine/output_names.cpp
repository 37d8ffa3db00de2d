#include "engine/output_names.h"

#include <sys/stat.h>

#include <cerrno>

namespace {

// Where the file name starts: after the last "/".
size_t FileNameStart(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The position of the extension's "." within the file name part, or npos.
size_t ExtensionDot(std::string_view path) {
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < FileNameStart(path)) return std::string_view::npos;
    return dot;
}

}  // namespace

std::string FileExtension(std::string_view path) {
    size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string DefaultOutputName(std::string_view path) {
    size_t start = FileNameStart(path);
    size_t dot = ExtensionDot(path);
    return std::string(
        path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
}

std::string SanitizeOutputName(std::string_view name) {
    std::string out;
    for (char c : name)
        if (std::string_view("/\\:*?<>|@").find(c) == std::string_view::npos) out += c;
    return out;
}

std::string ComposeOutputPath(std::string_view folder, std::string_view name, std::string_view extension) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    path += extension;
    return path;
}

namespace {
enum class Name { kFree, kTaken, kRefused };

Name NameState(const std::string& path) {
    // lstat: a dangling link still occupies the name, and writing through it would land somewhere
    // else. Any answer but "no such file" (a name too long, a path through a file) refuses the name.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return Name::kTaken;
    return errno == ENOENT ? Name::kFree : Name::kRefused;
}

}  // namespace

std::string NumberedOutputPath(std::string_view path, unsigned long n) {
    size_t dot = ExtensionDot(path);
    std::string_view stem = path.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
    return std::string(stem) + "(" + std::to_string(n) + ")" + std::string(extension);
}

std::string OutputNameBase(std::string_view path) {
    size_t dot = ExtensionDot(path);
    std::string_view stem = path.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
    if (stem.size() < 3 || stem.back() != ')') return std::string(path);
    size_t open = stem.rfind('(');
    if (open == std::string_view::npos || open < FileNameStart(path) || open + 2 >= stem.size())
        return std::string(path);
    for (size_t i = open + 1; i + 1 < stem.size(); ++i)
        if (stem[i] < '0' || stem[i] > '9') return std::string(path);
    return std::string(stem.substr(0, open)) + std::string(extension);
}

std::string UniqueOutputPath(const std::string& path) {
    Name state = NameState(path);
    if (state != Name::kTaken) return state == Name::kFree ? path : std::string();
    for (unsigned long n = 0;; ++n) {
        std::string candidate = NumberedOutputPath(path, n);
        state = NameState(candidate);
        if (state != Name::kTaken) return state == Name::kFree ? candidate : std::string();
    }
}

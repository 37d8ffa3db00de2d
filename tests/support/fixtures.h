#pragma once
#include <string>
#include <vector>

namespace testsupport {

// Path of a media fixture by file name (see make_fixtures.sh for the list). The fixtures are made by
// the ffmpeg tool the first time any test asks, once per build tree; later calls only look them up.
std::string Fixture(const std::string& name);

// A fresh, empty folder for one test's outputs, below the build tree and private to the running test
// case; removed and made again per call.
std::string ScratchDir(const std::string& name);

// The staged suite folder of the build tree.
std::string SuiteDir();

// The names in a folder (hidden ones included), sorted.
std::vector<std::string> Listing(const std::string& dir);

// A file's whole content; empty when it cannot be read.
std::string Bytes(const std::string& path);

}  // namespace testsupport

#include "support/fixtures.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>

#include "support/run.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// Several test processes may ask at once: the script runs under an exclusive file lock, and it
// keeps files that already exist, so only the first caller does real work.
void MakeFixturesOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        fs::create_directories(FIXTURE_DIR);
        std::string lock_path = std::string(FIXTURE_DIR) + "/.lock";
        int fd = open(lock_path.c_str(), O_CREAT | O_RDWR, 0644);
        if (fd < 0) throw std::runtime_error("cannot open " + lock_path);
        flock(fd, LOCK_EX);
        RunResult r = RunCommand({"bash", FIXTURE_SCRIPT, FIXTURE_DIR});
        flock(fd, LOCK_UN);
        close(fd);
        if (r.exit_code != 0) throw std::runtime_error("making fixtures failed: " + r.err);
    });
}

}  // namespace

std::string Fixture(const std::string& name) {
    MakeFixturesOnce();
    fs::path p = fs::path(FIXTURE_DIR) / name;
    if (!fs::exists(p)) throw std::runtime_error("no such fixture: " + name);
    return p.string();
}

std::string ScratchDir(const std::string& name) {
    // CTest runs the cases of one test program in parallel processes, so each case gets its own
    // folder below the name; otherwise one case's set-up could empty a folder another is using.
    fs::path p = fs::path(FIXTURE_DIR).parent_path() / "scratch" / name;
    if (const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info())
        p /= std::string(info->test_suite_name()) + "." + info->name();
    fs::remove_all(p);
    fs::create_directories(p);
    return p.string();
}

std::string SuiteDir() { return SUITE_DIR; }

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace testsupport

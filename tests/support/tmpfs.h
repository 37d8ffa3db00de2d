#pragma once
#include <string>

namespace testsupport {

// A small tmpfs mounted on a folder for the life of the object, to fill a disk or make a folder
// read-only for real. Mounting needs root (or a user namespace); where it fails, mounted() is false
// and the test skips.
class SmallTmpfs {
  public:
    SmallTmpfs(const std::string& folder, int size_kb);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    // Remounts it read-only; false when that fails.
    bool MakeReadOnly();

  private:
    std::string folder_;
    bool mounted_ = false;
};

}  // namespace testsupport

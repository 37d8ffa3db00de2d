#include "support/tmpfs.h"

#include <sys/mount.h>

namespace testsupport {

SmallTmpfs::SmallTmpfs(const std::string& folder, int size_kb) : folder_(folder) {
    const std::string options = "size=" + std::to_string(size_kb) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

bool SmallTmpfs::MakeReadOnly() {
    return mounted_ && ::mount("tmpfs", folder_.c_str(), "tmpfs",
                               MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

}  // namespace testsupport

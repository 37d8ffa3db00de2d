#include "engine/output_publish.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "engine/output_names.h"

namespace engine {

namespace {

constexpr int kIoBufferSize = 256 * 1024;
// Numbered names tried when the final name was taken while the job ran.
constexpr unsigned long kMaxNumberedNames = 100000;
constexpr char kPartMark[] = ".part-";

// The temporary file's name: hidden, showing which output it becomes. A final name near the system's
// limit is shortened (on a UTF-8 character boundary) so that the temporary name still fits.
std::string TempName(const std::string& final_name) {
    const size_t room = NAME_MAX - 1 - (sizeof(kPartMark) - 1) - 6;
    std::string shown = final_name;
    if (shown.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;
        shown.resize(cut);
    }
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::string suffix(6, 'x');
    for (char& c : suffix) c = kLetters[random() % (sizeof(kLetters) - 1)];
    return "." + shown + kPartMark + suffix;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

PublishedOutput::~PublishedOutput() { Discard(); }

int PublishedOutput::Open(const std::string& final_path) {
    Discard();
    published_.clear();
    size_t slash = final_path.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : final_path.substr(0, slash + 1);
    final_name_ = slash == std::string::npos ? final_path : final_path.substr(slash + 1);
    if (final_name_.empty() || final_name_ == "." || final_name_ == "..") return AVERROR(EINVAL);
    if (final_name_.size() > NAME_MAX) return AVERROR(ENAMETOOLONG);
    dir_fd_ = ::open(folder_.empty() ? "." : folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd_ < 0) return AVERROR(errno);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TempName(final_name_);
        // O_EXCL with O_CREAT never opens an existing file or follows a link, dangling or not.
        fd_ = ::openat(dir_fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            temp_name_ = std::move(name);
            return 0;
        }
        if (errno != EEXIST) break;
    }
    int error = AVERROR(errno);
    CloseFiles();
    return error;
}

AVIOContext* PublishedOutput::io() {
    if (io_ || fd_ < 0) return io_;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (buffer) io_ = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WriteBuffer, &Seek);
    if (!io_) {
        av_free(buffer);
        return nullptr;
    }
    io_->seekable = AVIO_SEEKABLE_NORMAL;
    return io_;
}

int PublishedOutput::Write(const void* data, size_t size) {
    if (fd_ < 0) return AVERROR(EBADF);
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return AVERROR(errno);
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        unsynced_bytes_ += static_cast<size_t>(n);
    }
    // Start writing back what is written so far while the job goes on, so that the sync before
    // publishing has little left to wait for.
    if (unsynced_bytes_ >= kWritebackBytes) {
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
        unsynced_bytes_ = 0;
    }
    return 0;
}

int PublishedOutput::WriteBuffer(void* opaque, uint8_t* data, int size) {
    int error = static_cast<PublishedOutput*>(opaque)->Write(data, static_cast<size_t>(size));
    return error < 0 ? error : size;
}

int64_t PublishedOutput::Seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<PublishedOutput*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        if (::fstat(self->fd_, &st) < 0) return AVERROR(errno);
        return st.st_size;
    }
    off_t pos = ::lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(errno) : pos;
}

int PublishedOutput::RenameNoReplace(const std::string& name) {
    if (::renameat2(dir_fd_, temp_name_.c_str(), dir_fd_, name.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -errno;
    // A file system without that rename: a hard link cannot replace anything either.
    if (::linkat(dir_fd_, temp_name_.c_str(), dir_fd_, name.c_str(), 0) != 0) return -errno;
    ::unlinkat(dir_fd_, temp_name_.c_str(), 0);
    return 0;
}

JobFailure PublishedOutput::Publish(Existing existing) {
    if (fd_ < 0) return {"the output file was not created", AVERROR(EBADF)};
    if (io_) {
        avio_flush(io_);
        if (io_->error < 0) {
            int error = io_->error;
            Discard();
            return {"could not write the output", error};
        }
    }
    // The data reaches the disk before the name does: after a power loss the final name holds the
    // whole file or does not exist.
    if (::fdatasync(fd_) != 0 && errno != EINVAL) {
        int error = AVERROR(errno);
        Discard();
        return {"could not write the output", error};
    }
    struct stat written {};
    ::fstat(fd_, &written);

    std::string name = final_name_;
    int rc = 0;
    if (existing == Existing::kReplace) {
        rc = ::renameat(dir_fd_, temp_name_.c_str(), dir_fd_, name.c_str()) == 0 ? 0 : -errno;
    } else {
        const std::string base = OutputNameBase(final_name_);
        rc = RenameNoReplace(name);
        for (unsigned long n = 0; rc == -EEXIST && n < kMaxNumberedNames; ++n) {
            name = NumberedOutputPath(base, n);
            rc = RenameNoReplace(name);
        }
    }
    if (rc != 0) {
        Discard();
        if (rc == -ENOENT) return {"the output folder no longer exists", AVERROR(ENOENT)};
        return {"could not give the output its name", rc};
    }
    temp_name_.clear();

    // The folder may have been deleted, moved or replaced while the job ran: the file counts as
    // written only when the folder's path shows it.
    const std::string path = folder_ + name;
    struct stat shown {};
    if (::lstat(path.c_str(), &shown) != 0 || !SameFile(shown, written)) {
        struct stat there {};
        if (::fstatat(dir_fd_, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(there, written))
            ::unlinkat(dir_fd_, name.c_str(), 0);
        CloseFiles();
        return {"the output folder no longer holds the output file", AVERROR(ENOENT)};
    }
    CloseFiles();
    published_ = path;
    return {};
}

void PublishedOutput::Discard() {
    // Only ever the file this object created: the name must still lead to it.
    struct stat mine {
    }, there{};
    if (fd_ >= 0 && !temp_name_.empty() && ::fstat(fd_, &mine) == 0 &&
        ::fstatat(dir_fd_, temp_name_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(mine, there))
        ::unlinkat(dir_fd_, temp_name_.c_str(), 0);
    temp_name_.clear();
    CloseFiles();
}

void PublishedOutput::CloseFiles() {
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (fd_ >= 0) ::close(fd_);
    if (dir_fd_ >= 0) ::close(dir_fd_);
    fd_ = dir_fd_ = -1;
}

}  // namespace engine

#include "engine/exclusive_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace engine {

namespace {
constexpr int kIoBufferSize = 256 * 1024;
}

ExclusiveOutput::~ExclusiveOutput() { Close(); }

int ExclusiveOutput::Open(const std::string& path) {
    Close();
    // O_EXCL also refuses a dangling symbolic link, so nothing outside the new file is touched.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) return AVERROR(errno);
    path_ = path;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (buffer) io_ = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &Write, &Seek);
    if (!io_) {
        av_free(buffer);
        Discard();
        return AVERROR(ENOMEM);
    }
    io_->seekable = AVIO_SEEKABLE_NORMAL;
    return 0;
}

void ExclusiveOutput::Close() {
    if (io_) {
        avio_flush(io_);
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void ExclusiveOutput::Discard() {
    bool created = fd_ >= 0;
    Close();
    if (created) ::unlink(path_.c_str());
    path_.clear();
}

int ExclusiveOutput::Write(void* opaque, uint8_t* data, int size) {
    auto* self = static_cast<ExclusiveOutput*>(opaque);
    int left = size;
    while (left > 0) {
        ssize_t n = ::write(self->fd_, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return AVERROR(errno);
        }
        data += n;
        left -= static_cast<int>(n);
    }
    return size;
}

int64_t ExclusiveOutput::Seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<ExclusiveOutput*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        if (::fstat(self->fd_, &st) < 0) return AVERROR(errno);
        return st.st_size;
    }
    off_t pos = ::lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(errno) : pos;
}

}  // namespace engine

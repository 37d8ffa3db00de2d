#pragma once
// An output file that is created exclusively (never opened when it already exists) and written
// through FFmpeg's I/O layer, so a job can never write over an existing file or one of its inputs.

#include <string>

extern "C" {
#include <libavformat/avio.h>
}

namespace engine {

class ExclusiveOutput {
  public:
    ExclusiveOutput() = default;
    ExclusiveOutput(const ExclusiveOutput&) = delete;
    ExclusiveOutput& operator=(const ExclusiveOutput&) = delete;
    ~ExclusiveOutput();

    // Creates the file; fails (returns a negative FFmpeg error) when anything of that name exists.
    int Open(const std::string& path);
    // The I/O context a muxer writes through; owned by this object. Null until Open succeeded.
    AVIOContext* io() const { return io_; }
    // Flushes and closes the file; the file stays.
    void Close();
    // Closes the file and deletes it: only ever the file this object created.
    void Discard();

  private:
    static int Write(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);

    int fd_ = -1;
    AVIOContext* io_ = nullptr;
    std::string path_;
};

}  // namespace engine

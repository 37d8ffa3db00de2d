#pragma once
// An output file that appears under its final name only when it is complete. It is written into a
// hidden temporary file beside the final name (".holiday.mp4.part-XXXXXX", created with O_EXCL |
// O_NOFOLLOW, so no existing file or link is ever opened), then published with a rename that cannot
// replace anything. If the name was taken meanwhile the next free numbered name is used; a failure
// or an object destroyed unpublished removes the temporary file. A killed process leaves at most the
// hidden temporary file, never a partial file under a final name.

#include <sys/types.h>

#include <string>

#include "engine/job_progress.h"

extern "C" {
#include <libavformat/avio.h>
}

namespace engine {

class PublishedOutput {
  public:
    // How Publish treats an existing file of the final name.
    enum class Existing {
        kKeep,     // never replaced: the next free name(N) is taken
        kReplace,  // replaced at once (a tool's own scratch file, such as its preview picture)
    };

    PublishedOutput() = default;
    PublishedOutput(const PublishedOutput&) = delete;
    PublishedOutput& operator=(const PublishedOutput&) = delete;
    ~PublishedOutput();

    // Creates the temporary file in the folder of `final_path` (UTF-8). Returns 0, or a negative
    // FFmpeg error code (AVERROR(errno)) when the folder cannot take it.
    int Open(const std::string& final_path);
    // The I/O context a muxer writes through, owned by this object; made on first use. Null before
    // Open or when out of memory.
    AVIOContext* io();
    // Writes bytes directly (without io()); 0 or a negative FFmpeg error code.
    int Write(const void* data, size_t size);

    // Flushes the data to the disk, gives the file its final name and checks that the output folder
    // holds it under that name. On failure the temporary file (or what was published) is removed and
    // the reason returned; the step is empty on success. Then published_path() is the name written.
    JobFailure Publish(Existing existing = Existing::kKeep);
    // Removes the temporary file; nothing appears. Also what the destructor does when unpublished.
    void Discard();

    // The full path the file was published under; empty before a successful Publish.
    const std::string& published_path() const { return published_; }
    // The temporary file's name in the output folder (for tests and messages); empty when none.
    const std::string& temp_name() const { return temp_name_; }

  private:
    static int WriteBuffer(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    void CloseFiles();
    int RenameNoReplace(const std::string& name);

    int dir_fd_ = -1;  // the output folder, held open so that the rename lands beside the temporary
    int fd_ = -1;      // the temporary file
    // Bytes written since the disk was last asked to start writing them back.
    static constexpr size_t kWritebackBytes = size_t{4} << 20;
    size_t unsynced_bytes_ = 0;
    AVIOContext* io_ = nullptr;
    std::string folder_;      // as given, "" for the current folder
    std::string final_name_;  // the file name part of the final path
    std::string temp_name_;
    std::string published_;
};

}  // namespace engine

#pragma once
// The waveform of an audio file: a bounded, multi-resolution summary of the minimum and maximum of
// its samples (channels mixed to one), computed on worker threads from the decoded sound. The file
// is cut into stretches that are decoded in parallel, one worker per core; each fills its own part
// of the summary, so the picture fills in while the rest is still decoding. Only the summary is
// kept, never the samples: its finest level holds at most kMaxBlocks blocks whatever the length
// (about 8 MB for any file), and a few thousand samples around a point can be decoded on demand
// for views finer than that level. MP3 files are read frame by frame straight from the file (no
// demuxer), entered at any frame through an index of frame offsets built by one quick pass.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace engine {

struct Mp3Frames;
class WaveformBlockWriter;
struct WorkerDecoder;

// Minimum and maximum of the mixed samples of one stretch, full scale -1..1.
struct WaveRange {
    float min = 0;
    float max = 0;
    bool known = false;  // false where that stretch is not decoded yet
};

// What a waveform is built from: the audio stream's rate and an estimate of its sample count.
struct WaveformInfo {
    bool ok = false;
    std::string error;  // why not, when !ok
    int sample_rate = 0;
    int64_t total_samples = 0;
    int64_t origin_pts = 0;  // time stamp of the first sample, in the stream's time base
};

// The summary's levels. Level 0 has one block of block_samples samples per entry; each higher level
// joins kLevelFactor blocks of the one below. Level 0 is written by the workers while readers look
// at it: a reader only reads blocks that a stretch has published (release/acquire on each stretch's
// fill mark). Higher levels are made once every stretch is done.
class WaveformSummary {
  public:
    static constexpr int64_t kMaxBlocks = int64_t{1} << 21;
    static constexpr int kLevelFactor = 16;

    WaveformSummary(int64_t total_samples, int stretch_count);

    int64_t totalSamples() const { return m_total; }
    int blockSamples() const { return m_block; }
    int stretchCount() const { return static_cast<int>(m_stretch_begin.size()); }
    int64_t stretchBegin(int stretch) const { return m_stretch_begin[stretch]; }
    int64_t stretchEnd(int stretch) const;
    // Bytes held by the summary (all levels).
    size_t memoryBytes() const;

    // Fills out[0..count) with the ranges of [first + i * per, first + (i + 1) * per) samples.
    // Thread-safe against the writers.
    void Columns(double first_sample, double samples_per_column, int count, WaveRange* out) const;
    // True once every stretch is complete (and the coarse levels are made).
    bool complete() const { return m_complete.load(std::memory_order_acquire); }
    // Share of the file summarised so far, 0..1.
    double doneFraction() const;

  private:
    friend class WaveformBuilder;
    friend class WaveformBlockWriter;
    struct Block {
        int16_t min, max;
    };
    // Writer side: one worker per stretch, blocks in order from the stretch's first.
    void WriteBlock(int64_t block, float min, float max);
    void Publish(int stretch, int64_t blocks_done);
    void Finish();
    // The range over level-0 blocks [first, end), only from published blocks.
    WaveRange Range(int64_t first_block, int64_t end_block) const;

    int64_t m_total;
    int m_block = 1;
    std::vector<Block> m_level0;
    std::vector<std::vector<Block>> m_levels;  // 1..n; empty until complete
    std::vector<int64_t> m_stretch_begin;
    // Stretches begin at block boundaries, so no block is shared by two writers.
    std::unique_ptr<std::atomic<int64_t>[]> m_filled;  // per stretch: blocks published from its first
    std::atomic<bool> m_complete{false};
};

// Reads the audio stream's rate and length; the builder needs them before it starts.
WaveformInfo ProbeWaveform(const std::string& path);

// Decodes the mixed samples [first_sample, first_sample + count) of the file (fewer at its end);
// empty on failure or when cancel becomes true. Any thread.
std::vector<float> DecodeMixedSamples(const std::string& path, int64_t first_sample, int count,
                                      const std::atomic<bool>* cancel = nullptr);

// Builds one file's summary on worker threads. Start returns at once; the summary fills in while
// the owner reads it. Cancel (or the destructor) stops the workers and joins them. Not copyable;
// Start, Cancel and the destructor are called from one thread.
class WaveformBuilder {
  public:
    WaveformBuilder() = default;
    ~WaveformBuilder();
    WaveformBuilder(const WaveformBuilder&) = delete;
    WaveformBuilder& operator=(const WaveformBuilder&) = delete;

    // Starts summarising the file with `threads` workers (0: one per core) over `stretches` stretches
    // (0: chosen from the length). Cancels a build in progress first. False with error() when the
    // file has no audio that can be decoded.
    bool Start(const std::string& path, int threads = 0, int stretches = 0);
    void Cancel();
    // Null until a Start succeeded; stays valid until the next Start.
    std::shared_ptr<const WaveformSummary> summary() const { return m_summary; }
    const WaveformInfo& info() const { return m_info; }
    const std::string& error() const { return m_info.error; }
    bool cancelled() const { return m_cancel.load(); }
    // A stretch's decode failed part-way (the rest of the picture still fills in).
    bool failed() const { return m_failed.load(); }

  private:
    void Work();
    void RunStretch(int stretch, WorkerDecoder* decoder);
    void CloseFile();

    std::string m_path;
    WaveformInfo m_info;
    std::shared_ptr<const Mp3Frames> m_mp3;  // the frame index, when the file is an MP3
    int m_fd = -1;                           // the MP3 file, read by every worker
    std::shared_ptr<WaveformSummary> m_summary;
    std::vector<std::thread> m_workers;
    std::atomic<int> m_next_stretch{0};
    std::atomic<int> m_stretches_left{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_failed{false};
};

}  // namespace engine

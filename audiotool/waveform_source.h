#pragma once
// The audio tool's waveform data: the engine's summary of the current file, computed on worker
// threads from the moment the file is added, plus, for views finer than the summary keeps, the
// few samples on screen decoded on a thread of their own. Dropping the object cancels both and
// joins their threads (a new file replaces it). UI thread only.

#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "controls/waveform_view.h"
#include "engine/waveform.h"

namespace melisk {

class EngineWaveform : public WaveformData {
  public:
    // Starts summarising the file. Even finding the file's length (a pass over an MP3's frames)
    // runs on a thread of its own: the window never waits for it.
    explicit EngineWaveform(const QString& path);
    ~EngineWaveform() override;

    // Whether the file has audio to draw; false also while that is not known yet.
    bool ok() const { return Ready() && m_summary != nullptr; }
    // The start has ended, either way.
    bool started() const { return Ready(); }
    // Stops the computation for good (the picture keeps what was done).
    void Cancel();
    bool cancelled() const { return m_cancelled; }
    bool complete() const { return ok() && m_summary->complete(); }
    // Null until ok().
    const engine::WaveformSummary* summary() const { return ok() ? m_summary.get() : nullptr; }

    int sampleRate() const override { return ok() ? m_builder.info().sample_rate : 0; }
    int64_t totalSamples() const override { return ok() ? m_summary->totalSamples() : 0; }
    void columns(double first_sample, double samples_per_column, int count, WaveColumn* out) const override;
    bool settled() const override;

  private:
    // Takes over the builder once the start has ended (joining its thread); false before.
    bool Ready() const;
    void RequestDetail(int64_t first, int count) const;
    void StopDetail() const;

    std::string m_path;
    engine::WaveformBuilder m_builder;
    // The start: m_builder belongs to m_start_thread until m_start_done is set and the thread joined.
    mutable std::thread m_start_thread;
    std::atomic<bool> m_start_done{false};
    bool m_start_ok = false;
    mutable bool m_ready = false;
    bool m_cancelled = false;
    mutable std::shared_ptr<const engine::WaveformSummary> m_summary;
    // The samples of a close view: decoded on m_detail_thread into m_detail_next, taken over on the
    // UI thread once m_detail_ready is set.
    mutable std::thread m_detail_thread;
    mutable std::atomic<bool> m_detail_ready{false};
    mutable std::atomic<bool> m_detail_cancel{false};
    mutable bool m_detail_running = false;
    mutable int64_t m_detail_first = 0;
    mutable std::vector<float> m_detail;
    mutable int64_t m_next_first = 0;
    mutable std::vector<float> m_detail_next;
};

}  // namespace melisk

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
    // Starts summarising the file; ok() says whether it has audio to draw.
    explicit EngineWaveform(const QString& path);
    ~EngineWaveform() override;

    bool ok() const { return m_summary != nullptr; }
    // Stops the computation for good (the picture keeps what was done).
    void Cancel();
    bool cancelled() const { return m_builder.cancelled(); }
    bool complete() const { return m_summary && m_summary->complete(); }
    const engine::WaveformSummary* summary() const { return m_summary.get(); }

    int sampleRate() const override { return m_builder.info().sample_rate; }
    int64_t totalSamples() const override { return m_summary ? m_summary->totalSamples() : 0; }
    void columns(double first_sample, double samples_per_column, int count, WaveColumn* out) const override;
    bool settled() const override;

  private:
    void RequestDetail(int64_t first, int count) const;
    void StopDetail() const;

    std::string m_path;
    engine::WaveformBuilder m_builder;
    std::shared_ptr<const engine::WaveformSummary> m_summary;
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

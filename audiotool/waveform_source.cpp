#include "audiotool/waveform_source.h"

#include <algorithm>
#include <cmath>

namespace melisk {

EngineWaveform::EngineWaveform(const QString& path) : m_path(path.toStdString()) {
    m_start_thread = std::thread([this] {
        m_start_ok = m_builder.Start(m_path);
        m_start_done.store(true, std::memory_order_release);
    });
}

EngineWaveform::~EngineWaveform() { Cancel(); }

bool EngineWaveform::Ready() const {
    if (m_ready) return true;
    if (!m_start_done.load(std::memory_order_acquire)) return false;
    if (m_start_thread.joinable()) m_start_thread.join();
    m_ready = true;
    if (m_start_ok) m_summary = m_builder.summary();
    return true;
}

void EngineWaveform::Cancel() {
    m_cancelled = true;
    // A start still under way ends by itself soon (it only finds the file's length).
    if (m_start_thread.joinable()) m_start_thread.join();
    Ready();
    m_builder.Cancel();
    StopDetail();
}

void EngineWaveform::StopDetail() const {
    m_detail_cancel.store(true);
    if (m_detail_thread.joinable()) m_detail_thread.join();
    m_detail_running = false;
    m_detail_cancel.store(false);
}

void EngineWaveform::RequestDetail(int64_t first, int count) const {
    StopDetail();
    m_detail_ready.store(false);
    m_detail_running = true;
    m_next_first = first;
    m_detail_thread = std::thread([this, first, count] {
        m_detail_next = engine::DecodeMixedSamples(m_path, first, count, &m_detail_cancel);
        m_detail_ready.store(true, std::memory_order_release);
    });
}

bool EngineWaveform::settled() const {
    if (!Ready()) return false;
    return !m_summary || (m_summary->complete() && !m_detail_running);
}

void EngineWaveform::columns(double first_sample, double per, int count, WaveColumn* out) const {
    if (!ok()) {
        std::fill(out, out + count, WaveColumn{});
        return;
    }
    if (m_detail_running && m_detail_ready.load(std::memory_order_acquire)) {
        m_detail_thread.join();
        m_detail_running = false;
        m_detail_first = m_next_first;
        m_detail.swap(m_detail_next);
        m_detail_next.clear();
    }
    const int block = m_summary->blockSamples();
    const int64_t first = static_cast<int64_t>(std::floor(std::max(0.0, first_sample)));
    const int64_t end = std::min<int64_t>(m_summary->totalSamples(),
                                          static_cast<int64_t>(std::ceil(first_sample + per * count)) + 1);
    const bool covered = !m_detail.empty() && first >= m_detail_first &&
                         end <= m_detail_first + static_cast<int64_t>(m_detail.size());
    if (per >= block || covered == false) {
        std::vector<engine::WaveRange> ranges(count);
        m_summary->Columns(first_sample, per, count, ranges.data());
        for (int i = 0; i < count; ++i) out[i] = WaveColumn{ranges[i].min, ranges[i].max, ranges[i].known};
        // Finer than the summary: decode what is on screen (and a screen either side) once.
        if (per < block && !m_detail_running && end > first) {
            const int64_t span = end - first;
            RequestDetail(std::max<int64_t>(0, first - span), static_cast<int>(3 * span));
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const double s0 = first_sample + i * per, s1 = s0 + per;
        int64_t a = static_cast<int64_t>(std::floor(s0)),
                b = std::max(a + 1, static_cast<int64_t>(std::ceil(s1)));
        a = std::max(a, m_detail_first);
        b = std::min<int64_t>(b, m_detail_first + static_cast<int64_t>(m_detail.size()));
        if (a >= b) {
            out[i] = WaveColumn{};
            continue;
        }
        const auto [lo, hi] = std::minmax_element(m_detail.begin() + (a - m_detail_first),
                                                  m_detail.begin() + (b - m_detail_first));
        out[i] = WaveColumn{*lo, *hi, true};
    }
}

}  // namespace melisk

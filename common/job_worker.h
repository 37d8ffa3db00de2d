#pragma once
// The worker thread of a media tool's job. One job at a time: a new job first joins the previous
// worker, which may still be finishing its current file after Stop. The object is owned and used
// by the UI thread only.

#include <functional>
#include <thread>

namespace common {

class JobWorker {
  public:
    JobWorker() = default;
    ~JobWorker() { join(); }
    JobWorker(const JobWorker&) = delete;
    JobWorker& operator=(const JobWorker&) = delete;

    // Joins the previous worker, then runs work on a new thread. work must keep whatever it touches
    // alive until join() has returned.
    void start(std::function<void()> work) {
        join();
        m_thread = std::thread(std::move(work));
    }

    // Waits for the worker to end; returns at once when none was started or it was joined already.
    void join() {
        if (m_thread.joinable()) m_thread.join();
    }

    bool joinable() const { return m_thread.joinable(); }

  private:
    std::thread m_thread;
};

}  // namespace common

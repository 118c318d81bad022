#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrane::presentation {

// A second thread for a save: it runs the jobs posted to it one after the other, in order, while
// the posting thread goes on, so hashing or writing one buffer overlaps with filling the next.
// Jobs must not throw; they hand failures back through the state they share with the poster.
class Worker
{
public:
    Worker();
    // Runs what is still queued, then ends the thread.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Returns the job's ticket for wait().
    std::uint64_t post(std::function<void()> job);
    // Returns once the job with this ticket, and so every job before it, has run.
    void wait(std::uint64_t ticket);
    void waitAll();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_finished;
    std::deque<std::function<void()>> m_jobs;
    std::uint64_t m_postedCount = 0;
    std::uint64_t m_finishedCount = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace kestrane::presentation

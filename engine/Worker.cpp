#include "engine/Worker.h"

namespace kestrane::presentation {

Worker::Worker() : m_thread([this] { run(); })
{
}

Worker::~Worker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_posted.notify_one();
    m_thread.join();
}

std::uint64_t Worker::post(std::function<void()> job)
{
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        ticket = ++m_postedCount;
    }
    m_posted.notify_one();
    return ticket;
}

void Worker::wait(std::uint64_t ticket)
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return m_finishedCount >= ticket; });
}

void Worker::waitAll()
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return m_finishedCount == m_postedCount; });
}

void Worker::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_posted.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
        ++m_finishedCount;
        m_finished.notify_all();
    }
}

} // namespace kestrane::presentation

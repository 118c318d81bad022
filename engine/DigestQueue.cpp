#include "engine/DigestQueue.h"

#include <exception>

namespace kestrane::presentation {

DigestQueue::~DigestQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void DigestQueue::add(std::shared_ptr<const Picture> picture)
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    {
        std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(picture));
    }
    m_changed.notify_all();
}

void DigestQueue::clear()
{
    std::unique_lock lock(m_mutex);
    m_waiting.clear();
    m_changed.wait(lock, [this] { return !m_busy; });
}

void DigestQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            return;
        std::shared_ptr<const Picture> picture = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_busy = true;
        lock.unlock();
        try {
            picture->digest();
            picture->pptForm().digest();
        } catch (const std::exception&) {
            // The save reads the picture again and reports what failed.
        }
        picture.reset();
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace kestrane::presentation

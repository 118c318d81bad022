#pragma once

#include "engine/Picture.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrane::presentation {

// Takes the digests of pictures, and their CRCs with them (Picture::checksums()), on a thread of
// its own as they are added, the picture's and its .ppt form's, so that a save, which needs them
// before it writes, finds them taken while the user was choosing where to save. A digest that
// fails is left for the save to take, and to report, again.
class DigestQueue
{
public:
    DigestQueue() = default;
    ~DigestQueue();
    DigestQueue(const DigestQueue&) = delete;
    DigestQueue& operator=(const DigestQueue&) = delete;

    void add(std::shared_ptr<const Picture> picture);
    // Drops the pictures still waiting and waits for the one being digested: none is held after.
    void clear();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<const Picture>> m_waiting;
    bool m_busy = false;
    bool m_stopping = false;
    // Started by the first picture.
    std::thread m_thread;
};

} // namespace kestrane::presentation

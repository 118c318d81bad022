#include "engine/Pipeline.h"

#include "base/Error.h"

#include <algorithm>

namespace kestrane::presentation {

BufferRing::BufferRing(std::size_t count, std::function<void(Buffer&)> step)
    : m_buffers(count), m_step(std::move(step)), m_thread([this] { run(); })
{
}

BufferRing::~BufferRing()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

BufferRing::Buffer& BufferRing::next()
{
    if (m_posted < count())
        return m_buffers[m_posted];
    return wait(m_posted - count());
}

void BufferRing::post()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_posted;
    }
    m_changed.notify_one();
}

BufferRing::Buffer& BufferRing::wait(std::uint64_t number)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done > number; });
    Buffer& buffer = m_buffers[number % count()];
    if (buffer.error)
        std::rethrow_exception(buffer.error);
    return buffer;
}

void BufferRing::drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done == m_posted; });
    for (Buffer& buffer : m_buffers)
        buffer.error = nullptr;
}

void BufferRing::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || m_done < m_posted; });
        if (m_stopping)
            return;
        Buffer& buffer = m_buffers[m_done % count()];
        lock.unlock();
        buffer.error = nullptr;
        try {
            m_step(buffer);
        } catch (...) {
            buffer.error = std::current_exception();
        }
        lock.lock();
        ++m_done;
        m_changed.notify_one();
    }
}

PictureStream::PictureStream() : m_ring(readAhead, [this](BufferRing::Buffer& b) { step(b); })
{
}

std::size_t PictureStream::add(const Picture& picture)
{
    m_entries.push_back({&picture, picture.size()});
    return m_entries.size() - 1;
}

PictureStream::Chunk PictureStream::chunk(std::size_t number, std::uint64_t offset)
{
    moveTo(number, offset);
    const BufferRing::Buffer& buffer = m_ring.wait(m_first);
    const auto from = std::size_t(offset - buffer.offset);
    return {buffer.bytes.get() + from, buffer.length - from};
}

void PictureStream::moveTo(std::size_t number, std::uint64_t offset)
{
    // Reading on frees the buffer handed out last; anything else but asking for it again starts
    // over.
    if (holds(m_first, number, offset))
        return;
    if (holds(m_first + 1, number, offset)) {
        ++m_first;
        fill();
    } else {
        restartAt(number, offset);
    }
}

bool PictureStream::holds(std::uint64_t buffer, std::size_t number, std::uint64_t offset)
{
    if (buffer >= m_ring.posted())
        return false;
    const BufferRing::Buffer& b = m_ring[buffer];
    return b.item == number && offset >= b.offset && offset - b.offset < std::max<std::size_t>(b.length, 1);
}

void PictureStream::fill()
{
    while (m_nextPicture < m_entries.size() && m_ring.posted() < m_first + m_ring.count()) {
        const Entry& entry = m_entries[m_nextPicture];
        BufferRing::Buffer& buffer = m_ring.next();
        buffer.item = m_nextPicture;
        buffer.offset = m_nextOffset;
        buffer.length =
            std::size_t(std::min<std::uint64_t>(BufferRing::bufferSize, entry.size - m_nextOffset));
        m_nextOffset += buffer.length;
        if (m_nextOffset >= entry.size) {
            ++m_nextPicture;
            m_nextOffset = 0;
        }
        m_ring.post();
    }
}

void PictureStream::restartAt(std::size_t number, std::uint64_t offset)
{
    m_ring.drain();
    m_first = m_ring.posted();
    m_nextPicture = number;
    m_nextOffset = offset;
    fill();
}

void PictureStream::step(BufferRing::Buffer& buffer)
{
    m_entries[buffer.item].picture->read(buffer.offset, buffer.bytes.get(), buffer.length);
}

} // namespace kestrane::presentation

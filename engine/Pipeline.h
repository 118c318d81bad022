#pragma once

#include "engine/Picture.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrane::presentation {

// How a save streams its bytes: pictures are read ahead of the writer by one ring, and the file is
// written behind it by another, so reading, writing and the format's own work overlap while memory
// stays at a few buffers.

// A ring of 1 MiB buffers handed in order between its owner and a thread of its own, which runs
// `step` on each: reading into it ahead of the owner, or writing it out behind. Buffers are
// numbered in the order they are handed over; what a step throws stays with its buffer, and the
// owner gets it when it waits for that buffer. The thread ends with the ring, before the buffers,
// leaving the steps not yet run.
class BufferRing
{
public:
    static constexpr std::size_t bufferSize = std::size_t(1) << 20;

    struct Buffer
    {
        std::unique_ptr<unsigned char[]> bytes = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
        std::size_t length = 0;
        // Where the bytes belong: a file offset, or a picture and an offset in it.
        std::uint64_t offset = 0;
        std::size_t item = 0;
        std::exception_ptr error;
    };

    BufferRing(std::size_t count, std::function<void(Buffer&)> step);
    ~BufferRing();
    BufferRing(const BufferRing&) = delete;
    BufferRing& operator=(const BufferRing&) = delete;

    std::size_t count() const { return m_buffers.size(); }
    // The number the next buffer handed over gets.
    std::uint64_t posted() const { return m_posted; }
    // The buffer to hand over next, once its last step has run; throws what that step threw.
    Buffer& next();
    void post();
    // Buffer `number` as its owner described it; its bytes only once wait() returned it.
    Buffer& operator[](std::uint64_t number) { return m_buffers[number % count()]; }
    // Buffer `number` (handed over already) once its step has run; throws what the step threw.
    Buffer& wait(std::uint64_t number);
    // Waits for every step and forgets what they threw: the owner starts over.
    void drain();

private:
    void run();

    std::vector<Buffer> m_buffers;
    std::function<void(Buffer&)> m_step;
    std::mutex m_mutex;
    // Only one side ever waits: the thread while it has nothing to do, the owner for a step.
    std::condition_variable m_changed;
    std::uint64_t m_posted = 0;
    std::uint64_t m_done = 0;
    bool m_stopping = false;
    // Last, so it starts once the rest is there.
    std::thread m_thread;
};

// Reads pictures on a ring's thread ahead of the caller, in the order they were added. Chunks asked
// for out of order are read by starting over there.
class PictureStream
{
public:
    struct Chunk
    {
        const unsigned char* bytes;
        std::size_t length;
    };

    // Megabytes read ahead of the caller.
    static constexpr std::size_t readAhead = 4;

    PictureStream();

    // Pictures are added before anything is asked for; returns the picture's number.
    std::size_t add(const Picture& picture);
    // The bytes of picture `number` from `offset` on, at most one buffer of them, valid until the
    // next call. Throws what reading the picture threw.
    Chunk chunk(std::size_t number, std::uint64_t offset);

private:
    struct Entry
    {
        const Picture* picture;
        std::uint64_t size;
    };

    void step(BufferRing::Buffer& buffer);
    // Makes m_first the buffer with that byte of the picture.
    void moveTo(std::size_t number, std::uint64_t offset);
    bool holds(std::uint64_t buffer, std::size_t number, std::uint64_t offset);
    // Hands the free buffers to the thread with the next chunks in order.
    void fill();
    void restartAt(std::size_t number, std::uint64_t offset);

    std::vector<Entry> m_entries;
    std::size_t m_nextPicture = 0;
    std::uint64_t m_nextOffset = 0;
    // The oldest buffer the caller may still use; the ones before it are free.
    std::uint64_t m_first = 0;
    // Last, so its thread ends before the entries go.
    BufferRing m_ring;
};

} // namespace kestrane::presentation

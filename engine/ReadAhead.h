#pragma once

#include "engine/Picture.h"
#include "engine/Worker.h"

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace kestrane::presentation {

// Reads pictures a chunk at a time on a thread of its own, ahead of the one copying them, in the
// order they were added: the copy then finds the bytes in memory while the thread fetches the
// next ones. Asking out of that order still works, by starting over from there.
class ReadAhead
{
public:
    static constexpr std::size_t chunkSize = std::size_t(1) << 20;

    struct Chunk
    {
        const unsigned char* bytes;
        std::size_t length;
    };

    // Returns the picture's number for chunk().
    std::size_t add(std::shared_ptr<const Picture> picture);
    // The bytes of picture `number` from `offset` on, at most chunkSize of them, valid until the
    // next call. Throws what reading the picture threw.
    Chunk chunk(std::size_t number, std::uint64_t offset);

private:
    struct Slot
    {
        std::unique_ptr<unsigned char[]> bytes;
        std::size_t picture = 0;
        std::uint64_t offset = 0;
        std::size_t length = 0;
        std::exception_ptr error;
        std::uint64_t ticket = 0;
    };

    // Gives the slot the next chunk in order; false when every picture is read.
    bool schedule(Slot& slot);
    void restartAt(std::size_t picture, std::uint64_t offset);

    std::vector<std::shared_ptr<const Picture>> m_pictures;
    std::array<Slot, 3> m_slots;
    // The next chunk to schedule.
    std::size_t m_nextPicture = 0;
    std::uint64_t m_nextOffset = 0;
    // The slot whose chunk comes next, and the one the caller still holds.
    std::size_t m_current = 0;
    Slot* m_held = nullptr;
    bool m_started = false;
    // Last, so it ends before the slots its jobs fill.
    Worker m_reader;
};

} // namespace kestrane::presentation

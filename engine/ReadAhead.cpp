#include "engine/ReadAhead.h"

#include <algorithm>

namespace kestrane::presentation {

std::size_t ReadAhead::add(std::shared_ptr<const Picture> picture)
{
    m_pictures.push_back(std::move(picture));
    return m_pictures.size() - 1;
}

ReadAhead::Chunk ReadAhead::chunk(std::size_t number, std::uint64_t offset)
{
    if (!m_started) {
        restartAt(0, 0);
        m_started = true;
    }
    if (m_held != nullptr) {
        schedule(*m_held);
        m_held = nullptr;
    }
    Slot* slot = &m_slots[m_current];
    m_reader.wait(slot->ticket);
    if (slot->picture != number || slot->offset != offset || slot->length == 0) {
        restartAt(number, offset);
        slot = &m_slots[m_current];
        m_reader.wait(slot->ticket);
    }
    m_current = (m_current + 1) % m_slots.size();
    m_held = slot;
    if (slot->error)
        std::rethrow_exception(slot->error);
    return {slot->bytes.get(), slot->length};
}

bool ReadAhead::schedule(Slot& slot)
{
    while (m_nextPicture < m_pictures.size() && m_nextOffset >= m_pictures[m_nextPicture]->size()) {
        ++m_nextPicture;
        m_nextOffset = 0;
    }
    slot.length = 0;
    if (m_nextPicture == m_pictures.size())
        return false;
    if (!slot.bytes)
        slot.bytes = std::make_unique_for_overwrite<unsigned char[]>(chunkSize);
    const Picture& picture = *m_pictures[m_nextPicture];
    slot.picture = m_nextPicture;
    slot.offset = m_nextOffset;
    slot.length = std::size_t(std::min<std::uint64_t>(chunkSize, picture.size() - m_nextOffset));
    slot.error = nullptr;
    m_nextOffset += slot.length;
    slot.ticket = m_reader.post([&slot, &picture] {
        try {
            picture.read(slot.offset, slot.bytes.get(), slot.length);
        } catch (...) {
            slot.error = std::current_exception();
        }
    });
    return true;
}

void ReadAhead::restartAt(std::size_t picture, std::uint64_t offset)
{
    m_reader.waitAll();
    m_held = nullptr;
    m_nextPicture = picture;
    m_nextOffset = offset;
    m_current = 0;
    for (Slot& slot : m_slots)
        schedule(slot);
}

} // namespace kestrane::presentation

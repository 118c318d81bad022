#include "engine/ppt/Records.h"

#include "engine/Utf8.h"

#include <cstring>
#include <numeric>

namespace kestrane::presentation::ppt {

FieldWriter& FieldWriter::u8(std::uint8_t value)
{
    m_bytes.push_back(value);
    return *this;
}

FieldWriter& FieldWriter::u16(std::uint16_t value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    return *this;
}

FieldWriter& FieldWriter::u32(std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    return *this;
}

FieldWriter& FieldWriter::raw(const void* data, std::size_t size)
{
    const auto* first = static_cast<const std::uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), first, first + size);
    return *this;
}

FieldWriter& FieldWriter::zeros(std::size_t count)
{
    m_bytes.insert(m_bytes.end(), count, 0);
    return *this;
}

FieldWriter& FieldWriter::utf16(std::string_view utf8)
{
    while (!utf8.empty()) {
        const Utf8Character character = firstCharacter(utf8);
        utf8.remove_prefix(character.length);
        if (character.code < 0x10000) {
            u16(static_cast<std::uint16_t>(character.code));
        } else {
            const char32_t offset = character.code - 0x10000;
            u16(static_cast<std::uint16_t>(0xD800 + (offset >> 10)));
            u16(static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FF)));
        }
    }
    return *this;
}

void appendHeader(Bytes& out, std::uint16_t type, std::uint16_t version, std::uint16_t instance,
                  std::uint32_t length)
{
    FieldWriter header;
    header.u16(static_cast<std::uint16_t>((version & 0xF) | (instance << 4))).u16(type).u32(length);
    out.insert(out.end(), header.bytes().begin(), header.bytes().end());
}

Bytes atom(std::uint16_t type, std::uint16_t version, std::uint16_t instance, const Bytes& payload)
{
    Bytes out;
    out.reserve(recordHeaderSize + payload.size());
    appendHeader(out, type, version, instance, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes container(std::uint16_t type, std::uint16_t instance, const std::vector<Bytes>& children)
{
    const std::size_t length =
        std::accumulate(children.begin(), children.end(), std::size_t{0},
                        [](std::size_t sum, const Bytes& child) { return sum + child.size(); });
    Bytes out;
    out.reserve(recordHeaderSize + length);
    appendHeader(out, type, containerVersion, instance, static_cast<std::uint32_t>(length));
    for (const Bytes& child : children)
        out.insert(out.end(), child.begin(), child.end());
    return out;
}

} // namespace kestrane::presentation::ppt

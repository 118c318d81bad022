#pragma once

#include "engine/ByteSink.h"

#include <cstring>
#include <vector>

namespace kestrane::testing {

// Captures everything written, honouring seeks as a file would.
class MemorySink : public presentation::ByteSink
{
public:
    void write(const void* data, std::size_t size) override
    {
        if (m_position + size > m_bytes.size())
            m_bytes.resize(m_position + size);
        std::memcpy(m_bytes.data() + m_position, data, size);
        m_position += size;
    }
    void seek(std::uint64_t position) override
    {
        m_position = position;
        if (m_position > m_bytes.size())
            m_bytes.resize(m_position);
    }
    std::uint64_t position() const override { return m_position; }

    const std::vector<unsigned char>& bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
    std::uint64_t m_position = 0;
};

} // namespace kestrane::testing

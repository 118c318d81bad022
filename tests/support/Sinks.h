#pragma once

#include "base/Error.h"
#include "engine/ByteSink.h"

#include <cerrno>
#include <cstring>
#include <string>
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
    std::string text() const { return std::string(m_bytes.begin(), m_bytes.end()); }

private:
    std::vector<unsigned char> m_bytes;
    std::uint64_t m_position = 0;
};

// Accepts the first `limit` bytes, then fails as a full disk would.
class FailingSink : public MemorySink
{
public:
    explicit FailingSink(std::uint64_t limit) : m_limit(limit) {}

    void write(const void* data, std::size_t size) override
    {
        if (m_written + size > m_limit)
            throw Error(ErrorCode::SaveFailed, "test sink is full", ENOSPC);
        m_written += size;
        MemorySink::write(data, size);
    }

private:
    std::uint64_t m_limit;
    std::uint64_t m_written = 0;
};

} // namespace kestrane::testing

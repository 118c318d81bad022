#pragma once

#include "engine/ByteSink.h"

#include <QByteArray>
#include <cstring>
#include <iterator>
#include <map>
#include <stdexcept>
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

// Keeps the small writes, headers and records, with where they went, and only counts the large
// ones: enough to read a package's structure however large its pictures. Expects no seeks.
class RecordSink : public presentation::ByteSink
{
public:
    static constexpr std::size_t largestKept = 64 * 1024;

    void write(const void* data, std::size_t size) override
    {
        if (size <= largestKept)
            m_records[m_position] = QByteArray(static_cast<const char*>(data), qsizetype(size));
        m_position += size;
    }
    void seek(std::uint64_t) override { throw std::logic_error("RecordSink: a seek"); }
    std::uint64_t position() const override { return m_position; }

    // `length` bytes at `offset`, all from one kept write; empty if there is none.
    QByteArray at(std::uint64_t offset, qsizetype length) const
    {
        auto after = m_records.upper_bound(offset);
        if (after == m_records.begin())
            return {};
        const auto& [start, bytes] = *std::prev(after);
        if (offset + std::uint64_t(length) > start + std::uint64_t(bytes.size()))
            return {};
        return bytes.mid(qsizetype(offset - start), length);
    }

private:
    std::map<std::uint64_t, QByteArray> m_records;
    std::uint64_t m_position = 0;
};

} // namespace kestrane::testing

#pragma once

#include "base/Error.h"
#include "engine/Picture.h"

#include <cstring>
#include <string>

namespace kestrane::testing {

// A picture held in memory, for writer tests that need no files.
class MemoryPicture : public presentation::Picture
{
public:
    MemoryPicture(std::string name, presentation::PictureFormat format, std::string bytes)
        : m_name(std::move(name)), m_format(format), m_bytes(std::move(bytes))
    {
    }

    const std::string& name() const override { return m_name; }
    presentation::PictureFormat format() const override { return m_format; }
    std::uint64_t size() const override { return m_bytes.size(); }
    void read(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        std::memcpy(buffer, m_bytes.data() + offset, length);
    }

private:
    std::string m_name;
    presentation::PictureFormat m_format;
    std::string m_bytes;
};

// A picture whose file changed after it was added: reading it fails.
class ChangedPicture : public MemoryPicture
{
public:
    using MemoryPicture::MemoryPicture;
    void read(std::uint64_t, void*, std::size_t) const override
    {
        throw Error(ErrorCode::PictureChanged, name());
    }
};

} // namespace kestrane::testing

#pragma once

#include "base/Error.h"
#include "engine/Picture.h"
#include "engine/PptForm.h"

#include <cstring>
#include <memory>
#include <string>

namespace kestrane::testing {

// A picture held in memory, for tests that need no files.
class MemoryPicture : public presentation::Picture
{
public:
    MemoryPicture(std::string name, presentation::PictureFormat format, std::string bytes)
        : m_name(std::move(name)), m_format(format), m_bytes(std::move(bytes))
    {
    }

    const std::string& name() const override { return m_name; }
    presentation::PictureFormat format() const override { return m_format; }
    presentation::Orientation orientation() const override { return m_orientation; }
    std::uint64_t size() const override { return m_bytes.size(); }
    void read(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        if (m_changed)
            throw Error(ErrorCode::PictureChanged, m_name);
        if (offset + length > m_bytes.size())
            throw Error(ErrorCode::PictureCorrupt, m_name + ": read past the end");
        std::memcpy(buffer, m_bytes.data() + offset, length);
    }

    const std::string& bytes() const { return m_bytes; }
    // As if its EXIF data said so, whatever its bytes.
    void setOrientation(presentation::Orientation orientation) { m_orientation = orientation; }
    // Every read from now on throws PictureChanged, as after the file was edited.
    void change() { m_changed = true; }
    // Gets its .ppt form the way a picture file does.
    void makePptForm() { setPptForm(presentation::pptFormOf(*this, m_name)); }

private:
    std::string m_name;
    presentation::PictureFormat m_format;
    presentation::Orientation m_orientation = presentation::Orientation::TopLeft;
    std::string m_bytes;
    bool m_changed = false;
};

// A picture whose file changed after it was added: every read fails.
class ChangedPicture : public MemoryPicture
{
public:
    ChangedPicture(std::string name, presentation::PictureFormat format, std::string bytes)
        : MemoryPicture(std::move(name), format, std::move(bytes))
    {
        change();
    }
};

// `size` zero bytes held as nothing: a picture of any size, for the limit checks and for packages
// past 4 GiB.
class ZeroPicture : public presentation::Picture
{
public:
    explicit ZeroPicture(std::uint64_t size) : m_size(size) {}

    const std::string& name() const override { return m_name; }
    presentation::PictureFormat format() const override { return presentation::PictureFormat::Jpeg; }
    std::uint64_t size() const override { return m_size; }
    void read(std::uint64_t, void* buffer, std::size_t length) const override
    {
        std::memset(buffer, 0, length);
    }

private:
    std::string m_name = "zeros.jpg";
    std::uint64_t m_size;
};

} // namespace kestrane::testing

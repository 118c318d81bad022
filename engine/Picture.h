#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrane::presentation {

enum class PictureFormat
{
    Jpeg,
    CmykJpeg,
    Png,
    Gif,
    Bmp,
    Tiff,
};

// An embedded picture as it was when it was added. Its bytes are the source file's bytes,
// unchanged; reading them throws kestrane::Error when they can no longer be had as they were.
class Picture
{
public:
    virtual ~Picture() = default;
    // The file's base name (image3.jpg), UTF-8; never a path.
    virtual const std::string& name() const = 0;
    virtual PictureFormat format() const = 0;
    virtual std::uint64_t size() const = 0;
    virtual void read(std::uint64_t offset, void* buffer, std::size_t length) const = 0;
    // For a GIF, which a .ppt cannot hold: its first frame as a PNG, made when the GIF was added.
    // Null for every other format.
    virtual const Picture* pngCopy() const { return nullptr; }
};

} // namespace kestrane::presentation

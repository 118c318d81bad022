#pragma once

#include "engine/Orientation.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kestrane::presentation {

// What the first bytes of a file say it is. Pictures are recognised by their content, never by
// their name.
enum class ImageKind
{
    Jpeg,
    CmykJpeg,
    Png,
    Gif,
    Bmp,
    Tiff,
    Empty,
    NotAnImage,
    Damaged,
};

// What the header says: the kind of picture and, for a JPEG, the orientation its EXIF data gives
// (a missing or damaged tag counts as upright, and never makes the picture damaged).
struct ProbedImage
{
    ImageKind kind = ImageKind::NotAnImage;
    Orientation orientation = Orientation::TopLeft;
};

// Reads up to `length` bytes at `offset` into `buffer` and returns how many it got (fewer only at
// the end of the data). May throw kestrane::Error.
using ReadAt = std::function<std::size_t(std::uint64_t offset, unsigned char* buffer, std::size_t length)>;

// Walks a JPEG's markers up to its frame header, reading the orientation of the first EXIF segment
// on the way, checks a PNG's signature and IHDR chunk, a GIF's logical screen, a BMP's file and
// bitmap headers or a TIFF's first directory. Only the few bytes it needs are read, so a header
// behind large metadata segments costs little.
ProbedImage probeImage(const ReadAt& read, std::uint64_t size);

} // namespace kestrane::presentation

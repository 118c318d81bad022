// The picture header reader (JPEG, PNG, GIF, BMP, TIFF) fed arbitrary file contents: it must name a kind
// consistent with the first bytes, an orientation only for a JPEG, read only through the callback, and stop
// after a bounded number of reads.

#include "engine/ImageHeader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace kestrane::presentation;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool startsWith(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t length)
{
    return size >= length && std::memcmp(data, magic, length) == 0;
}

// A file shorter than the signature that matches as far as it goes is a damaged image of that kind.
bool beginsLike(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t length)
{
    return std::memcmp(data, magic, std::min(size, length)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t reads = 0;
    const ReadAt read = [&](std::uint64_t offset, unsigned char* buffer, std::size_t length) {
        ++reads;
        if (offset >= size)
            return std::size_t(0);
        const std::size_t got = std::min<std::uint64_t>(length, size - offset);
        std::memcpy(buffer, data + offset, got);
        return got;
    };
    const auto [kind, orientation] = probeImage(read, size);

    // Fill bytes cost a read each; every other step a few per segment, of which there are at most 4096,
    // and the orientation of the first EXIF segment three more.
    require(reads <= 2 * size + 4 * 4096 + 8 + 3);
    require((kind == ImageKind::Empty) == (size == 0));
    const bool jpeg = startsWith(data, size, "\xFF\xD8", 2);
    // Only a JPEG has an orientation other than as stored.
    require(orientation == Orientation::TopLeft || jpeg);
    const bool png = startsWith(data, size, "\x89PNG\r\n\x1A\n", 8);
    const bool gif = startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6);
    const bool tiff = startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4);
    switch (kind) {
    case ImageKind::Jpeg:
    case ImageKind::CmykJpeg:
        require(jpeg);
        break;
    case ImageKind::Png:
        // Signature, IHDR chunk and its CRC.
        require(png && size >= 33 && std::memcmp(data + 12, "IHDR", 4) == 0);
        break;
    case ImageKind::Gif:
        // Signature and a logical screen of some size.
        require(gif && size >= 13 && (data[6] | data[7]) != 0 && (data[8] | data[9]) != 0);
        break;
    case ImageKind::Bmp:
        // File header and the size of a bitmap header.
        require(startsWith(data, size, "BM", 2) && size >= 26);
        break;
    case ImageKind::Tiff:
        // Header and a directory of at least one entry.
        require(tiff && size >= 26);
        break;
    case ImageKind::NotAnImage:
        // "BM" and a bitmap header of no known size is no bitmap.
        require(size > 0 && !beginsLike(data, size, "\xFF\xD8", 2) &&
                !beginsLike(data, size, "\x89PNG\r\n\x1A\n", 8) && !beginsLike(data, size, "GIF87a", 6) &&
                !beginsLike(data, size, "GIF89a", 6) && !beginsLike(data, size, "II*\0", 4) &&
                !beginsLike(data, size, "MM\0*", 4) && (!beginsLike(data, size, "BM", 2) || size >= 18));
        break;
    case ImageKind::Empty:
    case ImageKind::Damaged:
        break;
    }
    return 0;
}

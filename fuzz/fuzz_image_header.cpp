// The JPEG and PNG header reader fed arbitrary file contents: it must name a kind consistent with
// the first bytes, read only through the callback, and stop after a bounded number of reads.

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
    const ImageKind kind = probeImage(read, size);

    // Fill bytes cost a read each; every other step a few per segment, of which there are at most 4096.
    require(reads <= 2 * size + 4 * 4096 + 8);
    require((kind == ImageKind::Empty) == (size == 0));
    const bool jpeg = startsWith(data, size, "\xFF\xD8", 2);
    const bool png = startsWith(data, size, "\x89PNG\r\n\x1A\n", 8);
    switch (kind) {
    case ImageKind::Jpeg:
    case ImageKind::CmykJpeg:
        require(jpeg);
        break;
    case ImageKind::Png:
        // Signature, IHDR chunk and its CRC.
        require(png && size >= 33 && std::memcmp(data + 12, "IHDR", 4) == 0);
        break;
    case ImageKind::NotAnImage:
        require(size > 0 && !beginsLike(data, size, "\xFF\xD8", 2) &&
                !beginsLike(data, size, "\x89PNG\r\n\x1A\n", 8));
        break;
    case ImageKind::Empty:
    case ImageKind::Damaged:
        break;
    }
    return 0;
}

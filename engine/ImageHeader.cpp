#include "engine/ImageHeader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>
#include <zlib.h>

namespace kestrane::presentation {

namespace {

constexpr std::array<unsigned char, 2> jpegStart{0xFF, 0xD8};
constexpr std::array<unsigned char, 8> pngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::array<unsigned char, 6> gif87Signature{'G', 'I', 'F', '8', '7', 'a'};
constexpr std::array<unsigned char, 6> gif89Signature{'G', 'I', 'F', '8', '9', 'a'};
constexpr std::array<unsigned char, 2> bmpSignature{'B', 'M'};
constexpr std::array<unsigned char, 4> tiffLittleEndian{'I', 'I', 42, 0};
constexpr std::array<unsigned char, 4> tiffBigEndian{'M', 'M', 0, 42};

// Real files carry a handful of segments before the frame header; this bounds hostile input.
constexpr int maxJpegSegments = 4096;

unsigned bigEndian16(const unsigned char* p)
{
    return (unsigned(p[0]) << 8) | p[1];
}

std::uint32_t bigEndian32(const unsigned char* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

unsigned littleEndian16(const unsigned char* p)
{
    return (unsigned(p[1]) << 8) | p[0];
}

std::uint32_t littleEndian32(const unsigned char* p)
{
    return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
}

bool readExactly(const ReadAt& read, std::uint64_t offset, unsigned char* buffer, std::size_t length)
{
    return read(offset, buffer, length) == length;
}

// Start-of-frame markers: every SOFn except DHT (C4), JPG (C8) and DAC (CC).
bool isFrameHeader(unsigned marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isStandalone(unsigned marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

ImageKind frameKind(const ReadAt& read, std::uint64_t offset, unsigned length)
{
    unsigned char frame[6];
    if (length < 8 || !readExactly(read, offset, frame, sizeof frame))
        return ImageKind::Damaged;
    const unsigned width = bigEndian16(frame + 3);
    const unsigned components = frame[5];
    if (width == 0 || length != 8 + 3 * components)
        return ImageKind::Damaged;
    if (components == 1 || components == 3)
        return ImageKind::Jpeg;
    if (components == 4)
        return ImageKind::CmykJpeg;
    return ImageKind::Damaged;
}

// The EXIF segment: "Exif", two NULs, then a TIFF structure in either byte order whose first
// directory may hold the orientation (tag 0x0112, one SHORT). Offsets count from the TIFF header
// and must stay inside the segment. Anything missing or out of place leaves the picture upright.
constexpr std::array<unsigned char, 6> exifSignature{'E', 'x', 'i', 'f', 0, 0};
constexpr unsigned orientationTag = 0x0112;
constexpr unsigned shortType = 3;
constexpr std::uint32_t directoryEntrySize = 12;

// Nothing when the segment is no EXIF segment (XMP data is APP1 too).
std::optional<Orientation> exifOrientation(const ReadAt& read, std::uint64_t payload,
                                           std::uint32_t payloadLength)
{
    unsigned char head[exifSignature.size() + 8];
    const std::size_t got = read(payload, head, std::min<std::size_t>(sizeof head, payloadLength));
    if (got < exifSignature.size() || std::memcmp(head, exifSignature.data(), exifSignature.size()) != 0)
        return std::nullopt;
    if (got < sizeof head)
        return Orientation::TopLeft;
    const unsigned char* tiff = head + exifSignature.size();
    const bool little = std::memcmp(tiff, tiffLittleEndian.data(), 4) == 0;
    if (!little && std::memcmp(tiff, tiffBigEndian.data(), 4) != 0)
        return Orientation::TopLeft;
    auto u16 = [little](const unsigned char* p) { return little ? littleEndian16(p) : bigEndian16(p); };
    auto u32 = [little](const unsigned char* p) { return little ? littleEndian32(p) : bigEndian32(p); };
    const std::uint64_t tiffStart = payload + exifSignature.size();
    const std::uint32_t tiffLength = payloadLength - std::uint32_t(exifSignature.size());
    const std::uint32_t directory = u32(tiff + 4);
    unsigned char count[2];
    if (directory < 8 || directory > tiffLength - 2 || !readExactly(read, tiffStart + directory, count, 2))
        return Orientation::TopLeft;
    const std::uint32_t room = (tiffLength - directory - 2) / directoryEntrySize;
    const std::uint32_t entries = std::min<std::uint32_t>(u16(count), room);
    // Bounded by the segment, itself under 64 KiB; a camera writes a dozen entries or so.
    std::vector<unsigned char> table(std::size_t(entries) * directoryEntrySize);
    if (table.empty() || !readExactly(read, tiffStart + directory + 2, table.data(), table.size()))
        return Orientation::TopLeft;
    for (std::uint32_t e = 0; e < entries; ++e) {
        const unsigned char* entry = table.data() + std::size_t(e) * directoryEntrySize;
        if (u16(entry) == orientationTag)
            return u16(entry + 2) == shortType && u32(entry + 4) >= 1 ? orientationFromTag(u16(entry + 8))
                                                                      : Orientation::TopLeft;
    }
    return Orientation::TopLeft;
}

ProbedImage probeJpeg(const ReadAt& read, std::uint64_t size)
{
    std::uint64_t pos = jpegStart.size();
    std::optional<Orientation> orientation;
    for (int segment = 0; segment < maxJpegSegments; ++segment) {
        unsigned char mark[2];
        if (!readExactly(read, pos, mark, 1) || mark[0] != 0xFF)
            return {ImageKind::Damaged};
        // Any number of 0xFF fill bytes may precede a marker.
        do {
            if (!readExactly(read, ++pos, mark + 1, 1))
                return {ImageKind::Damaged};
        } while (mark[1] == 0xFF && pos < size);
        const unsigned marker = mark[1];
        ++pos;
        if (isStandalone(marker))
            continue;
        // Image data, a second start or the end before any frame header: no picture to show.
        if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA)
            return {ImageKind::Damaged};
        unsigned char lengthBytes[2];
        if (!readExactly(read, pos, lengthBytes, 2))
            return {ImageKind::Damaged};
        const unsigned length = bigEndian16(lengthBytes);
        if (length < 2 || pos + length > size)
            return {ImageKind::Damaged};
        if (isFrameHeader(marker))
            return {frameKind(read, pos + 2, length), orientation.value_or(Orientation::TopLeft)};
        // Viewers go by the first EXIF segment.
        if (marker == 0xE1 && !orientation)
            orientation = exifOrientation(read, pos + 2, length - 2);
        pos += length;
    }
    return {ImageKind::Damaged};
}

bool validPngDepth(unsigned colourType, unsigned depth)
{
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

ImageKind probePng(const ReadAt& read)
{
    // Signature, IHDR length and type, 13 bytes of IHDR data, its CRC.
    unsigned char head[33];
    if (!readExactly(read, 0, head, sizeof head))
        return ImageKind::Damaged;
    const unsigned char* chunk = head + 8;
    if (bigEndian32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0)
        return ImageKind::Damaged;
    const unsigned char* data = chunk + 8;
    const std::uint32_t width = bigEndian32(data);
    const std::uint32_t height = bigEndian32(data + 4);
    const unsigned depth = data[8];
    const unsigned colourType = data[9];
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return ImageKind::Damaged;
    if (!validPngDepth(colourType, depth) || data[10] != 0 || data[11] != 0 || data[12] > 1)
        return ImageKind::Damaged;
    if (crc32(crc32(0, nullptr, 0), chunk + 4, 17) != bigEndian32(data + 13))
        return ImageKind::Damaged;
    return ImageKind::Png;
}

ImageKind probeGif(const ReadAt& read)
{
    // Signature, then the logical screen: width, height, flags, background colour, aspect ratio.
    unsigned char head[13];
    if (!readExactly(read, 0, head, sizeof head))
        return ImageKind::Damaged;
    if (littleEndian16(head + 6) == 0 || littleEndian16(head + 8) == 0)
        return ImageKind::Damaged;
    return ImageKind::Gif;
}

// The bitmap header sizes in use: the old core header, the info header and its later extensions.
bool knownBitmapHeader(std::uint32_t size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

bool validBitmapDepth(unsigned bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

ImageKind probeBmp(const ReadAt& read, std::uint64_t size)
{
    // The 14-byte file header, then the bitmap header, which starts with its own size; "BM" and a
    // size that is none of the known ones is some other file.
    unsigned char head[14 + 124];
    if (!readExactly(read, 0, head, 18))
        return ImageKind::Damaged;
    const std::uint32_t headerSize = littleEndian32(head + 14);
    if (!knownBitmapHeader(headerSize))
        return ImageKind::NotAnImage;
    if (!readExactly(read, 18, head + 18, headerSize - 4))
        return ImageKind::Damaged;
    const std::uint32_t pixelOffset = littleEndian32(head + 10);
    const unsigned char* info = head + 18;
    bool sane = false;
    if (headerSize == 12) {
        sane = littleEndian16(info) > 0 && littleEndian16(info + 2) > 0 && littleEndian16(info + 4) == 1 &&
               validBitmapDepth(littleEndian16(info + 6));
    } else {
        // A negative height stores the rows top-down.
        const auto width = std::int32_t(littleEndian32(info));
        const auto height = std::int32_t(littleEndian32(info + 4));
        sane = width > 0 && height != 0 && height != INT32_MIN && littleEndian16(info + 8) == 1 &&
               validBitmapDepth(littleEndian16(info + 10));
    }
    if (!sane || pixelOffset < 14 + headerSize || pixelOffset > size)
        return ImageKind::Damaged;
    return ImageKind::Bmp;
}

ImageKind probeTiff(const ReadAt& read, std::uint64_t size, bool littleEndian)
{
    unsigned char head[8];
    if (!readExactly(read, 0, head, sizeof head))
        return ImageKind::Damaged;
    // The first directory: an entry count, 12 bytes per entry, then the next directory's offset.
    const std::uint32_t directory = littleEndian ? littleEndian32(head + 4) : bigEndian32(head + 4);
    unsigned char count[2];
    if (directory < sizeof head || !readExactly(read, directory, count, sizeof count))
        return ImageKind::Damaged;
    const unsigned entries = littleEndian ? littleEndian16(count) : bigEndian16(count);
    if (entries == 0 || directory + 2 + 12 * std::uint64_t(entries) + 4 > size)
        return ImageKind::Damaged;
    return ImageKind::Tiff;
}

// True when the data starts with `magic`; a file shorter than `magic` that matches as far as it
// goes counts as a damaged file of that kind rather than as some other kind.
template <std::size_t N>
bool startsWith(const unsigned char* head, std::size_t headLength, const std::array<unsigned char, N>& magic)
{
    const std::size_t compared = headLength < N ? headLength : N;
    return std::memcmp(head, magic.data(), compared) == 0;
}

} // namespace

ProbedImage probeImage(const ReadAt& read, std::uint64_t size)
{
    if (size == 0)
        return {ImageKind::Empty};
    unsigned char head[pngSignature.size()];
    const std::size_t got = read(0, head, size < sizeof head ? std::size_t(size) : sizeof head);
    if (got == 0)
        return {ImageKind::Damaged};
    if (startsWith(head, got, jpegStart))
        return got < jpegStart.size() ? ProbedImage{ImageKind::Damaged} : probeJpeg(read, size);
    if (startsWith(head, got, pngSignature))
        return {got < pngSignature.size() ? ImageKind::Damaged : probePng(read)};
    if (startsWith(head, got, gif87Signature) || startsWith(head, got, gif89Signature))
        return {got < gif87Signature.size() ? ImageKind::Damaged : probeGif(read)};
    if (startsWith(head, got, bmpSignature))
        return {got < bmpSignature.size() ? ImageKind::Damaged : probeBmp(read, size)};
    const bool little = startsWith(head, got, tiffLittleEndian);
    if (little || startsWith(head, got, tiffBigEndian))
        return {got < tiffLittleEndian.size() ? ImageKind::Damaged : probeTiff(read, size, little)};
    return {ImageKind::NotAnImage};
}

} // namespace kestrane::presentation

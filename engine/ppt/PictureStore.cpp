#include "engine/ppt/PictureStore.h"

#include "base/Error.h"
#include "engine/Pipeline.h"
#include "engine/ppt/CompoundFile.h"

#include <algorithm>
#include <map>
#include <nettle/md4.h>
#include <tuple>
#include <zlib.h>

namespace kestrane::presentation::ppt {

namespace {

// Pictures read ahead of the writer: a picture of up to half of them is read whole before its BLIP
// is written, so the next one can be read and digested while it is written.
constexpr std::size_t readAheadBuffers = 12;

constexpr std::uint8_t blipTypeJpeg = 0x05;
constexpr std::uint8_t blipTypePng = 0x06;
constexpr std::uint8_t blipTypeDib = 0x07;
constexpr std::uint8_t blipTypeTiff = 0x11;
constexpr std::uint8_t blipTypeCmykJpeg = 0x12;

constexpr std::uint64_t bitmapFileHeaderSize = 14;

// A BMP's bytes after its file header.
class BitmapWithoutFileHeader : public Picture
{
public:
    explicit BitmapWithoutFileHeader(const Picture& bitmap) : m_bitmap(bitmap) {}

    const std::string& name() const override { return m_bitmap.name(); }
    PictureFormat format() const override { return PictureFormat::Bmp; }
    std::uint64_t size() const override { return m_bitmap.size() - bitmapFileHeaderSize; }
    void read(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        m_bitmap.read(offset + bitmapFileHeaderSize, buffer, length);
    }

private:
    const Picture& m_bitmap;
};

const Picture& pngCopyOf(const Picture& gif)
{
    if (gif.pngCopy() == nullptr)
        throw Error(ErrorCode::Unexpected, gif.name() + " has no PNG copy");
    return *gif.pngCopy();
}

// Size, format and a checksum of the last bytes: pictures that differ in any of them differ.
using Tail = std::tuple<std::uint64_t, PictureFormat, std::uint32_t>;

// The end of a picture is the end of its compressed image data, which differs between any two
// different pictures.
constexpr std::size_t tailSize = 4096;

Tail tailOf(const Picture& picture, std::vector<std::uint8_t>& buffer)
{
    const std::uint64_t size = picture.size();
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(tailSize, size));
    picture.read(size - length, buffer.data(), length);
    return {size, picture.format(), std::uint32_t(crc32_z(0, buffer.data(), length))};
}

} // namespace

BlipKind blipKind(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return {blipTypeJpeg, BlipJpeg, 0x46A};
    case PictureFormat::CmykJpeg:
        return {blipTypeCmykJpeg, BlipJpeg, 0x6E2};
    case PictureFormat::Png:
    case PictureFormat::Gif: // stored as its PNG copy
        return {blipTypePng, BlipPng, 0x6E0};
    case PictureFormat::Bmp:
        return {blipTypeDib, BlipDib, 0x7A8};
    case PictureFormat::Tiff:
        return {blipTypeTiff, BlipTiff, 0x6E4};
    }
    return {blipTypeJpeg, BlipJpeg, 0x46A};
}

std::uint64_t blipDataSize(const Picture& picture)
{
    switch (picture.format()) {
    case PictureFormat::Gif:
        return pngCopyOf(picture).size();
    case PictureFormat::Bmp:
        return picture.size() - bitmapFileHeaderSize;
    default:
        return picture.size();
    }
}

PictureStore::PictureStore(const Deck& deck)
{
    // Each distinct picture of the deck, and what is stored of it.
    std::vector<std::pair<const Picture*, const Picture*>> distinct;
    std::map<std::pair<std::uint64_t, PictureFormat>, std::uint32_t> sameSize;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            const Picture* shown = placed.picture.get();
            if (!m_index.emplace(shown, 0).second)
                continue;
            const Picture* stored = shown;
            if (shown->format() == PictureFormat::Gif)
                stored = &pngCopyOf(*shown);
            else if (shown->format() == PictureFormat::Bmp)
                stored = m_bitmaps.emplace_back(std::make_unique<BitmapWithoutFileHeader>(*shown)).get();
            distinct.emplace_back(shown, stored);
            ++sameSize[{stored->size(), stored->format()}];
        }
    }
    // Of the pictures that share their size, those whose last bytes differ cannot be copies of one
    // another either; the others are digested now to find out.
    std::vector<std::uint8_t> buffer(tailSize);
    std::map<const Picture*, Tail> tails;
    std::map<Tail, std::uint32_t> sameTail;
    for (const auto& [shown, picture] : distinct) {
        if (sameSize[{picture->size(), picture->format()}] > 1)
            ++sameTail[tails[picture] = tailOf(*picture, buffer)];
    }

    std::map<std::tuple<Md4Digest, std::uint64_t, PictureFormat>, std::uint32_t> byContent;
    std::uint64_t offset = 0;
    for (const auto& [shown, picture] : distinct) {
        const std::uint64_t size = picture->size();
        const auto tail = tails.find(picture);
        const bool mayHaveCopies = tail != tails.end() && sameTail[tail->second] > 1;
        Md4Digest digest{};
        if (mayHaveCopies) {
            buffer.resize(BufferRing::bufferSize);
            digest = md4(*picture, buffer);
            const auto known = byContent.find({digest, size, picture->format()});
            if (known != byContent.end()) {
                m_index[shown] = known->second;
                continue;
            }
        }
        const auto number = static_cast<std::uint32_t>(m_entries.size() + 1);
        if (mayHaveCopies)
            byContent.emplace(std::tuple{digest, size, picture->format()}, number);
        m_entries.push_back({picture, size, digest, 0, static_cast<std::uint32_t>(offset)});
        m_digestPending.push_back(!mayHaveCopies);
        m_index[shown] = number;
        offset += size + blipOverhead;
    }
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures)
            ++m_entries[m_index[placed.picture.get()] - 1].uses;
    }
}

Bytes pictureEntry(const StoredPicture& picture)
{
    const BlipKind kind = blipKind(picture.picture->format());
    FieldWriter entry;
    entry.u8(kind.blipType).u8(kind.blipType);
    entry.raw(picture.digest.data(), picture.digest.size());
    entry.u16(0x00FF);
    entry.u32(static_cast<std::uint32_t>(picture.size + blipOverhead));
    entry.u32(picture.uses);
    entry.u32(picture.offset);
    entry.zeros(4); // unused, no name, unused, unused
    return atom(FBSE, 2, kind.blipType, entry.bytes());
}

Bytes blipHeader(const StoredPicture& picture)
{
    const BlipKind kind = blipKind(picture.picture->format());
    Bytes header;
    appendHeader(header, kind.recordType, 0, kind.instance,
                 static_cast<std::uint32_t>(picture.size + blipOverhead - recordHeaderSize));
    header.insert(header.end(), picture.digest.begin(), picture.digest.end());
    header.push_back(0xFF);
    return header;
}

Bytes PictureStore::entryContainer() const
{
    if (m_entries.empty())
        return {};
    std::vector<Bytes> children;
    children.reserve(m_entries.size());
    for (const StoredPicture& picture : m_entries)
        children.push_back(pictureEntry(picture));
    return container(BStoreContainer, static_cast<std::uint16_t>(m_entries.size()), children);
}

// Writes the BLIP records in order. A picture whose digest is still to be taken is, when it fits
// the stream, read whole and digested before its header is written, so that the header goes out with
// its digest and nothing written is revisited. A bigger one is digested while it is copied, and its
// digest is written into its header after it.
void PictureStore::writeBlips(StreamOutput& out)
{
    PictureStream stream(readAheadBuffers);
    for (std::size_t e = 0; e < m_entries.size(); ++e)
        stream.add(*m_entries[e].picture, m_digestPending[e]);
    for (std::size_t e = 0; e < m_entries.size(); ++e) {
        StoredPicture& picture = m_entries[e];
        const bool patch = m_digestPending[e] && !stream.fits(picture.size);
        if (m_digestPending[e] && !patch)
            picture.digest = stream.digest(e);
        const Bytes header = blipHeader(picture);
        out.write(header.data(), header.size());
        md4_ctx context;
        md4_init(&context);
        for (std::uint64_t offset = 0; offset < picture.size;) {
            const PictureStream::Chunk chunk = stream.chunk(e, offset);
            if (patch)
                md4_update(&context, chunk.length, chunk.bytes);
            out.write(chunk.bytes, chunk.length);
            offset += chunk.length;
        }
        if (patch) {
            md4_digest(&context, picture.digest.size(), picture.digest.data());
            out.rewrite(picture.offset + recordHeaderSize, picture.digest.data(), picture.digest.size());
        }
    }
    m_digestPending.assign(m_digestPending.size(), false);
}

} // namespace kestrane::presentation::ppt

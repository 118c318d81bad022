#include "engine/ppt/PictureStore.h"

#include "engine/Pipeline.h"
#include "engine/ppt/CompoundFile.h"

namespace kestrane::presentation::ppt {

namespace {

constexpr std::uint8_t blipTypeJpeg = 0x05;
constexpr std::uint8_t blipTypePng = 0x06;
constexpr std::uint8_t blipTypeDib = 0x07;
constexpr std::uint8_t blipTypeTiff = 0x11;
constexpr std::uint8_t blipTypeCmykJpeg = 0x12;

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

const Picture& pptFormOf(const Picture& picture)
{
    return picture.pptForm();
}

PictureStore::PictureStore(const Deck& deck) : m_distinct(deck, pptFormOf)
{
    std::uint64_t offset = 0;
    for (const DistinctPictures::Entry& entry : m_distinct.entries()) {
        m_entries.push_back({entry.picture, entry.uses, static_cast<std::uint32_t>(offset)});
        offset += entry.picture->size() + blipOverhead;
    }
}

Bytes pictureEntry(const StoredPicture& picture)
{
    const BlipKind kind = blipKind(picture.picture->format());
    FieldWriter entry;
    entry.u8(kind.blipType).u8(kind.blipType);
    const Digest& digest = picture.picture->digest();
    entry.raw(digest.data(), digest.size());
    entry.u16(0x00FF);
    entry.u32(static_cast<std::uint32_t>(picture.picture->size() + blipOverhead));
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
                 static_cast<std::uint32_t>(picture.picture->size() + blipOverhead - recordHeaderSize));
    const Digest& digest = picture.picture->digest();
    header.insert(header.end(), digest.begin(), digest.end());
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

void PictureStore::writeBlips(StreamOutput& out) const
{
    PictureStream stream;
    for (const StoredPicture& picture : m_entries)
        stream.add(*picture.picture);
    for (std::size_t e = 0; e < m_entries.size(); ++e) {
        const Bytes header = blipHeader(m_entries[e]);
        out.write(header.data(), header.size());
        for (std::uint64_t offset = 0, size = m_entries[e].picture->size(); offset < size;) {
            const PictureStream::Chunk chunk = stream.chunk(e, offset);
            out.write(chunk.bytes, chunk.length);
            offset += chunk.length;
        }
    }
}

} // namespace kestrane::presentation::ppt

#include "platform/presentation/ppt/PictureStore.h"

#include "platform/presentation/ppt/CompoundFile.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace kestrane::presentation::ppt {

namespace {

constexpr std::size_t copyChunk = 1 << 20;

constexpr std::uint8_t blipTypeJpeg = 0x05;
constexpr std::uint8_t blipTypePng = 0x06;
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
        return {blipTypePng, BlipPng, 0x6E0};
    }
    return {blipTypeJpeg, BlipJpeg, 0x46A};
}

PictureStore::PictureStore(const Deck& deck)
{
    std::vector<std::uint8_t> buffer(copyChunk);
    std::map<std::tuple<Md4Digest, std::uint64_t, PictureFormat>, std::uint32_t> byContent;
    std::uint64_t offset = 0;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            const Picture& picture = *placed.picture;
            if (auto known = m_index.find(&picture); known != m_index.end()) {
                ++m_entries[known->second - 1].uses;
                continue;
            }
            const std::uint64_t size = picture.size();
            const Md4Digest digest = md4(picture, buffer);
            auto [slot, added] = byContent.try_emplace({digest, size, picture.format()},
                                                       static_cast<std::uint32_t>(m_entries.size() + 1));
            if (added) {
                m_entries.push_back({&picture, size, digest, 0, static_cast<std::uint32_t>(offset)});
                offset += size + blipOverhead;
            }
            ++m_entries[slot->second - 1].uses;
            m_index.emplace(&picture, slot->second);
        }
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

void PictureStore::writeBlips(StreamOutput& out) const
{
    std::vector<std::uint8_t> buffer(copyChunk);
    for (const StoredPicture& picture : m_entries) {
        const Bytes header = blipHeader(picture);
        out.write(header.data(), header.size());
        for (std::uint64_t offset = 0; offset < picture.size;) {
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), picture.size - offset));
            picture.picture->read(offset, buffer.data(), chunk);
            out.write(buffer.data(), chunk);
            offset += chunk;
        }
    }
}

} // namespace kestrane::presentation::ppt

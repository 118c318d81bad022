#include "engine/ppt/PictureStore.h"

#include "engine/Worker.h"
#include "engine/ppt/CompoundFile.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <nettle/md4.h>
#include <tuple>
#include <zlib.h>

namespace kestrane::presentation::ppt {

namespace {

constexpr std::size_t copyChunk = 1 << 20;
// Room for pictures read but not yet written. A picture held whole takes at most half of it, so
// the next one can be read and hashed while it is written.
constexpr std::size_t slotCount = 12;
constexpr std::uint64_t holdLimit = slotCount / 2 * copyChunk;

constexpr std::uint8_t blipTypeJpeg = 0x05;
constexpr std::uint8_t blipTypePng = 0x06;
constexpr std::uint8_t blipTypeCmykJpeg = 0x12;

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

std::size_t chunkLength(const StoredPicture& picture, std::size_t chunk)
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(copyChunk, picture.size - chunk * copyChunk));
}

// Writes the BLIP records in order. A picture whose digest is still to be taken is, when it fits,
// read whole, hashed on one of two threads while the pictures before it are written, and written
// behind a header that already holds its digest: the bytes of the stream are written once, never
// revisited. A bigger one is hashed while it is copied, and its digest is written into its header
// once the pictures are done.
class BlipCopier
{
public:
    explicit BlipCopier(StreamOutput& out) : m_out(out) {}

    void copy(const StoredPicture& picture)
    {
        writeHeld();
        writeHeader(picture);
        stream(picture, nullptr, nullptr);
    }

    void hashThenCopy(StoredPicture& picture)
    {
        const std::size_t count = (picture.size + copyChunk - 1) / copyChunk;
        while (m_inUse + count > m_slots.size())
            writeOldest();
        const std::size_t first = m_next;
        for (std::size_t c = 0; c < count; ++c)
            picture.picture->read(c * copyChunk, take().bytes.get(), chunkLength(picture, c));
        m_inUse += count;
        Worker& hasher = nextHasher();
        const std::uint64_t ticket = hasher.post([this, &picture, first, count] {
            md4_ctx context;
            md4_init(&context);
            for (std::size_t c = 0; c < count; ++c)
                md4_update(&context, chunkLength(picture, c), slot(first + c).bytes.get());
            md4_digest(&context, picture.digest.size(), picture.digest.data());
        });
        m_held.push_back({&picture, first, count, &hasher, ticket});
    }

    void copyWhileHashing(StoredPicture& picture)
    {
        writeHeld();
        writeHeader(picture);
        Streamed& streamed = m_streamed.emplace_back();
        streamed.picture = &picture;
        md4_init(&streamed.context);
        stream(picture, &streamed.context, &nextHasher());
    }

    // Writes what is still held and completes the digests of the pictures hashed while copied.
    void finish()
    {
        writeHeld();
        for (Worker& hasher : m_hashers)
            hasher.waitAll();
        for (Streamed& streamed : m_streamed) {
            StoredPicture& picture = *streamed.picture;
            md4_digest(&streamed.context, picture.digest.size(), picture.digest.data());
            m_out.rewrite(picture.offset + recordHeaderSize, picture.digest.data(), picture.digest.size());
        }
    }

private:
    struct Slot
    {
        std::unique_ptr<std::uint8_t[]> bytes = std::make_unique_for_overwrite<std::uint8_t[]>(copyChunk);
        // The last job that reads the slot, when it is a chunk of a picture hashed while copied.
        Worker* hasher = nullptr;
        std::uint64_t ticket = 0;
    };

    // A picture read whole into the slots from `first` on, being hashed.
    struct Held
    {
        const StoredPicture* picture;
        std::size_t first;
        std::size_t count;
        Worker* hasher;
        std::uint64_t ticket;
    };

    struct Streamed
    {
        StoredPicture* picture = nullptr;
        md4_ctx context;
    };

    Slot& slot(std::size_t index) { return m_slots[index % m_slots.size()]; }

    // The next slot in turn, once no job reads it any more.
    Slot& take()
    {
        Slot& next = slot(m_next);
        m_next = (m_next + 1) % m_slots.size();
        if (next.hasher)
            next.hasher->wait(next.ticket);
        next.hasher = nullptr;
        return next;
    }

    Worker& nextHasher() { return m_hashers[m_turn++ % m_hashers.size()]; }

    void writeHeader(const StoredPicture& picture)
    {
        const Bytes header = blipHeader(picture);
        m_out.write(header.data(), header.size());
    }

    void writeOldest()
    {
        const Held held = m_held.front();
        m_held.pop_front();
        held.hasher->wait(held.ticket);
        writeHeader(*held.picture);
        for (std::size_t c = 0; c < held.count; ++c)
            m_out.write(slot(held.first + c).bytes.get(), chunkLength(*held.picture, c));
        m_inUse -= held.count;
    }

    void writeHeld()
    {
        while (!m_held.empty())
            writeOldest();
    }

    // Copies the picture through the slots in turn, each chunk handed to `hasher` as well when
    // there is one; nothing may be held.
    void stream(const StoredPicture& picture, md4_ctx* context, Worker* hasher)
    {
        for (std::size_t c = 0; c * copyChunk < picture.size; ++c) {
            Slot& chunk = take();
            const std::size_t length = chunkLength(picture, c);
            picture.picture->read(c * copyChunk, chunk.bytes.get(), length);
            if (hasher) {
                chunk.hasher = hasher;
                chunk.ticket = hasher->post(
                    [context, &chunk, length] { md4_update(context, length, chunk.bytes.get()); });
            }
            m_out.write(chunk.bytes.get(), length);
        }
    }

    StreamOutput& m_out;
    std::vector<Slot> m_slots = std::vector<Slot>(slotCount);
    std::size_t m_next = 0;
    std::size_t m_inUse = 0;
    std::deque<Held> m_held;
    std::deque<Streamed> m_streamed;
    std::size_t m_turn = 0;
    // Last, so the threads end before the slots and digests their jobs use.
    std::array<Worker, 2> m_hashers;
};

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
    std::vector<const Picture*> distinct;
    std::map<std::pair<std::uint64_t, PictureFormat>, std::uint32_t> sameSize;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            if (m_index.emplace(placed.picture.get(), 0).second) {
                distinct.push_back(placed.picture.get());
                ++sameSize[{placed.picture->size(), placed.picture->format()}];
            }
        }
    }
    // Of the pictures that share their size, those whose last bytes differ cannot be copies of one
    // another either; the others are digested now to find out.
    std::vector<std::uint8_t> buffer(tailSize);
    std::map<const Picture*, Tail> tails;
    std::map<Tail, std::uint32_t> sameTail;
    for (const Picture* picture : distinct) {
        if (sameSize[{picture->size(), picture->format()}] > 1)
            ++sameTail[tails[picture] = tailOf(*picture, buffer)];
    }

    std::map<std::tuple<Md4Digest, std::uint64_t, PictureFormat>, std::uint32_t> byContent;
    std::uint64_t offset = 0;
    for (const Picture* picture : distinct) {
        const std::uint64_t size = picture->size();
        const auto tail = tails.find(picture);
        const bool mayHaveCopies = tail != tails.end() && sameTail[tail->second] > 1;
        Md4Digest digest{};
        if (mayHaveCopies) {
            buffer.resize(copyChunk);
            digest = md4(*picture, buffer);
            const auto known = byContent.find({digest, size, picture->format()});
            if (known != byContent.end()) {
                m_index[picture] = known->second;
                continue;
            }
        }
        const auto number = static_cast<std::uint32_t>(m_entries.size() + 1);
        if (mayHaveCopies)
            byContent.emplace(std::tuple{digest, size, picture->format()}, number);
        m_entries.push_back({picture, size, digest, 0, static_cast<std::uint32_t>(offset)});
        m_digestPending.push_back(!mayHaveCopies);
        m_index[picture] = number;
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

void PictureStore::writeBlips(StreamOutput& out)
{
    BlipCopier copier(out);
    for (std::size_t e = 0; e < m_entries.size(); ++e) {
        StoredPicture& picture = m_entries[e];
        if (!m_digestPending[e])
            copier.copy(picture);
        else if (picture.size <= holdLimit)
            copier.hashThenCopy(picture);
        else
            copier.copyWhileHashing(picture);
    }
    copier.finish();
    m_digestPending.assign(m_digestPending.size(), false);
}

} // namespace kestrane::presentation::ppt

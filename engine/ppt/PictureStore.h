#pragma once

#include "engine/Deck.h"
#include "engine/ppt/Md4.h"
#include "engine/ppt/Records.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kestrane::presentation::ppt {

class StreamOutput;

// How a picture format is stored: the blip type named in the picture's entry and the record that
// holds its bytes in the "Pictures" stream.
struct BlipKind
{
    std::uint8_t blipType;
    std::uint16_t recordType;
    std::uint16_t instance;
};

BlipKind blipKind(PictureFormat format);

// What a .ppt stores of a picture, of this size: a GIF's PNG copy; a BMP without its 14-byte file
// header, as the DIB blip holds the bitmap from its own header on; every other picture as it is.
std::uint64_t blipDataSize(const Picture& picture);

// A BLIP record is its header, one identifier, a tag byte and the picture's bytes.
inline constexpr std::uint64_t blipOverhead = recordHeaderSize + 16 + 1;

struct StoredPicture
{
    const Picture* picture; // what is stored of the deck's picture (blipDataSize)
    std::uint64_t size;
    Md4Digest digest;
    std::uint32_t uses;
    std::uint32_t offset; // of its BLIP record in the "Pictures" stream
};

// The deck's distinct pictures in order of first use. Pictures with the same bytes are stored once
// and shared by every frame that shows them. Only pictures of the same size and the same last
// bytes can have the same bytes, so only those are digested up front, to find the copies; every
// other digest is taken while the "Pictures" stream is written, by the thread reading the pictures
// ahead or by the writer, whichever has the time. The entries in the document need the digests, so
// that stream is written before the document.
class PictureStore
{
public:
    explicit PictureStore(const Deck& deck);

    const std::vector<StoredPicture>& entries() const { return m_entries; }
    // 1-based position of the picture's entry, as the picture frames refer to it.
    std::uint32_t pictureIndex(const Picture& picture) const { return m_index.at(&picture); }

    // The container of picture entries for the drawing group; empty when the deck has no pictures.
    // Complete only once writeBlips() has run.
    Bytes entryContainer() const;
    // Writes the "Pictures" stream and completes the digests.
    void writeBlips(StreamOutput& out);

private:
    std::vector<StoredPicture> m_entries;
    // Whether an entry's digest is still to be taken while it is copied.
    std::vector<bool> m_digestPending;
    std::unordered_map<const Picture*, std::uint32_t> m_index;
    // The BMPs as they are stored.
    std::vector<std::unique_ptr<Picture>> m_bitmaps;
};

Bytes pictureEntry(const StoredPicture& picture);
Bytes blipHeader(const StoredPicture& picture);

} // namespace kestrane::presentation::ppt

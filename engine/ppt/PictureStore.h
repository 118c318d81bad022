#pragma once

#include "engine/DistinctPictures.h"
#include "engine/ppt/Records.h"

#include <cstdint>
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

// A BLIP record is its header, one identifier, a tag byte and the picture's bytes.
inline constexpr std::uint64_t blipOverhead = recordHeaderSize + 16 + 1;

struct StoredPicture
{
    const Picture* picture; // the .ppt form of the deck's picture
    std::uint32_t uses;
    std::uint32_t offset; // of its BLIP record in the "Pictures" stream
};

// The deck's distinct pictures in their .ppt forms, each stored once and shared by every frame
// that shows it.
class PictureStore
{
public:
    explicit PictureStore(const Deck& deck);

    const std::vector<StoredPicture>& entries() const { return m_entries; }
    // 1-based position of the picture's entry, as the picture frames refer to it.
    std::uint32_t pictureIndex(const Picture& picture) const
    {
        return static_cast<std::uint32_t>(m_distinct.indexOf(picture) + 1);
    }

    // The container of picture entries for the drawing group; empty when the deck has no pictures.
    Bytes entryContainer() const;
    // Writes the "Pictures" stream.
    void writeBlips(StreamOutput& out) const;

private:
    DistinctPictures m_distinct;
    std::vector<StoredPicture> m_entries;
};

// What a .ppt stores of a placed picture.
const Picture& pptFormOf(const Picture& picture);

Bytes pictureEntry(const StoredPicture& picture);
Bytes blipHeader(const StoredPicture& picture);

} // namespace kestrane::presentation::ppt

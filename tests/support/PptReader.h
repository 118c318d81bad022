#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrane::testing {

using ByteVector = std::vector<std::uint8_t>;

// A record of the "PowerPoint Document" or "Pictures" stream, with its children when it is a
// container.
struct PptRecord
{
    std::uint16_t version = 0;
    std::uint16_t instance = 0;
    std::uint16_t type = 0;
    std::uint32_t length = 0;
    std::size_t offset = 0; // of the header, from the start of the stream
    std::vector<PptRecord> children;

    const PptRecord* child(std::uint16_t childType, int childInstance = -1) const;
    std::vector<const PptRecord*> childrenOf(std::uint16_t childType) const;
};

struct PptFrame
{
    std::int16_t top = 0;
    std::int16_t left = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
    std::uint32_t pictureIndex = 0;
    std::uint32_t shapeId = 0;
    std::u16string name;
    std::u16string description; // the alternative text
};

struct PptSlide
{
    std::uint32_t slideId = 0;
    std::uint32_t persistId = 0;
    std::uint32_t drawingId = 0;
    std::vector<PptFrame> frames;
};

struct PptPictureEntry
{
    std::uint8_t blipType = 0;
    std::array<std::uint8_t, 16> uid{};
    std::uint32_t size = 0;
    std::uint32_t uses = 0;
    std::uint32_t offset = 0;
    std::uint16_t blipRecordType = 0;
    std::uint16_t blipInstance = 0;
    ByteVector bytes; // the picture file as stored in its BLIP
};

// Everything the tests look at in a .ppt, read with libgsf's compound file reader and our own
// record walker. `problems` lists every structural rule the file breaks; empty means sound.
struct PptFile
{
    std::vector<std::string> problems;
    std::map<std::string, ByteVector> streams;
    std::array<std::uint8_t, 16> classId{};
    std::vector<PptRecord> records; // top level of "PowerPoint Document"
    std::int32_t slideWidth = 0;
    std::int32_t slideHeight = 0;
    std::vector<PptSlide> slides;
    std::vector<PptPictureEntry> pictures;

    std::string problemText() const;
};

PptFile readPpt(const ByteVector& file);
// The record checks alone, on streams already taken out of the compound file.
PptFile readPptStreams(std::map<std::string, ByteVector> streams);

// Walks [data, data + size) as back-to-back records; reports records that overrun their parent.
std::vector<PptRecord> walkRecords(const std::uint8_t* data, std::size_t size, std::size_t base,
                                   std::vector<std::string>& problems);

} // namespace kestrane::testing

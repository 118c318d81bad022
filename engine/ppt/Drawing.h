#pragma once

#include "engine/Deck.h"
#include "engine/ppt/Records.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrane::presentation::ppt {

// Anchors and the slide size are in master units, 8 to the point.
inline constexpr std::int64_t masterUnitsPerPoint = 8;
inline constexpr auto slideWidthUnits = static_cast<std::int32_t>(slideWidthPoints * masterUnitsPerPoint);
inline constexpr auto slideHeightUnits = static_cast<std::int32_t>(slideHeightPoints * masterUnitsPerPoint);

// Drawing identifiers are 12 bits wide and 0xFFF is reserved: the main master is drawing 1, so
// at most 4093 slides fit beside it.
inline constexpr std::uint32_t maxDrawingId = 0xFFE;
// Every shape identifier, and the next free one, stays below this value.
inline constexpr std::uint64_t shapeIdLimit = 0x03FFD7FF;
inline constexpr std::uint32_t shapeIdsPerCluster = 1024;

// The group shape, five placeholders and the background.
inline constexpr std::uint32_t masterShapeCount = 7;
inline std::uint64_t slideShapeCount(std::size_t pictures)
{
    return pictures + 2;
}

struct DrawingIds
{
    std::uint32_t drawingId;
    std::uint64_t firstShapeId;
    std::uint64_t shapeCount;
    std::uint64_t lastShapeId() const { return firstShapeId + shapeCount - 1; }
};

// Shape identifiers come in clusters of 1024 owned by one drawing each; a drawing takes as many
// consecutive clusters as its shapes need, the first cluster (ids 1024..2047) going to drawing 1.
class ShapeIds
{
public:
    // Drawing i of the list gets drawing id i + 1.
    explicit ShapeIds(const std::vector<std::uint64_t>& shapesPerDrawing);

    const DrawingIds& drawing(std::size_t index) const { return m_drawings.at(index); }
    // One past the largest id in use, which the drawing group records as PowerPoint does.
    std::uint64_t nextFreeShapeId() const;
    // The drawing group's record of every drawing and cluster in use.
    Bytes groupBlock() const;

private:
    std::vector<DrawingIds> m_drawings;
};

// Edges in master units, in the order the 8-byte anchor stores them.
struct Anchor
{
    std::int16_t top;
    std::int16_t left;
    std::int16_t right;
    std::int16_t bottom;
};

// Assumes the box passed checkPptLimits.
Anchor anchorOf(const PictureBox& box);
Bytes clientAnchor(const Anchor& anchor);

struct PictureFrame
{
    // The box the picture shows in, also when turned a quarter: for shapes turned by 45 to 135 or
    // 225 to 315 degrees this format anchors the box the turned shape covers.
    Anchor anchor;
    UprightTurn turn;
    std::uint32_t pictureIndex;
    std::string_view description; // the alternative text: the picture's file name
};

Bytes masterDrawing(const DrawingIds& ids);
Bytes slideDrawing(const DrawingIds& ids, const std::vector<PictureFrame>& frames);

} // namespace kestrane::presentation::ppt

#pragma once

#include "engine/Picture.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane::presentation {

// What a file writer is given: the slides in show order, each with its pictures in the order
// they were added. Geometry is in points, as read from the typed texts; each writer rounds it to
// its own unit.
struct PictureBox
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// The box is where the picture shows, upright as its orientation says (Orientation.h), whatever
// the writer does to its frame to get it there.
struct PlacedPicture
{
    std::shared_ptr<const Picture> picture;
    PictureBox box;
};

struct SlideContent
{
    std::vector<PlacedPicture> pictures;
};

struct Deck
{
    std::vector<SlideContent> slides;
    // When the deck was saved, which both formats record as the document's creation and
    // modification time.
    std::chrono::sys_seconds savedAt{};
};

// Every deck is 10 x 7.5 inches: each writer derives its sizes, anchors and the size's name from
// these two.
inline constexpr double slideWidthPoints = 720;
inline constexpr double slideHeightPoints = 540;
// Both formats have a name for this size, on-screen 4:3, besides their "custom" one.
inline constexpr bool slideIsScreen4x3 = slideWidthPoints == 720 && slideHeightPoints == 540;

// Far beyond the range of every format, yet small enough that converting to any format's unit
// stays exact enough and inside 64 bits.
inline constexpr double largestPlacement = 1e13;

// English Metric Units, which the .pptx places shapes in and the .ppt's drawings size shapes in.
inline constexpr std::int64_t emuPerPoint = 12700;

// Points to a format's whole unit (emuPerPoint in .pptx, 8 in .ppt), rounded to nearest with
// halves away from zero.
std::int64_t toUnits(double points, std::int64_t unitsPerPoint);

// Reads the four placement texts, in points, exactly as the placement checks read them. Throws
// kestrane::Error when a text is not a number (PlacementNotNumeric), or for a negative size or a
// value no format can hold (PlacementOutOfRange). Each format checks its own, narrower range when
// the deck is saved.
PictureBox readPlacement(const std::string& left, const std::string& top, const std::string& width,
                         const std::string& height);

} // namespace kestrane::presentation

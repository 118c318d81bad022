#pragma once

#include <cstdint>

namespace kestrane::presentation {

// A photo's EXIF orientation: cameras store the pixels as the sensor read them and record where
// the stored first row and first column belong when the picture is shown, under these names.
enum class Orientation : std::uint8_t
{
    TopLeft = 1, // as stored
    TopRight,    // mirrored left to right
    BottomRight, // upside down
    BottomLeft,  // mirrored top to bottom
    LeftTop,     // mirrored about the diagonal from the top left
    RightTop,    // shown turned a quarter clockwise
    RightBottom, // mirrored about the diagonal from the top right
    LeftBottom,  // shown turned a quarter anticlockwise
};

// The tag's value; anything but 1 to 8 counts as 1, as viewers treat it.
Orientation orientationFromTag(std::uint32_t value);

// How the frame that holds the stored pixels is drawn for the picture to show upright: mirrored
// within the frame first, then turned clockwise about the frame's centre.
struct UprightTurn
{
    int degrees = 0; // 0, 90, 180 or 270
    bool flipH = false;
    bool flipV = false;

    bool swapsSides() const { return degrees == 90 || degrees == 270; }
};

UprightTurn uprightTurn(Orientation orientation);

// A box in a format's whole units.
struct UnitBox
{
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// The frame that, turned as `turn` says, covers `visual` exactly: the same box, or for a quarter
// turn its sides swapped about the same centre. Where the sides differ by an odd number of units
// the centre can only stay within half a unit; it moves towards the top left.
UnitBox unturnedFrame(const UnitBox& visual, const UprightTurn& turn);

} // namespace kestrane::presentation

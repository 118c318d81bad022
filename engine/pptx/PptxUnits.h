#pragma once

#include "engine/Deck.h"

#include <cstdint>

namespace kestrane::presentation {

// Office Open XML places shapes in EMU (emuPerPoint in Deck.h). The schema allows offsets and
// extents far past 32 bits, but readers hold them in signed 32-bit integers (LibreOffice reads
// anything larger as 0), so the engine writes that range only: about +-169,093 points.
inline constexpr std::int64_t minEmuCoordinate = INT32_MIN;
inline constexpr std::int64_t maxEmuCoordinate = INT32_MAX;

std::int64_t toEmu(double points);
bool fitsEmuOffset(double points);
// A size must not be negative, nor positive yet too small to be more than 0 EMU.
bool fitsEmuExtent(double points);

// A picture's a:xfrm: its frame in EMU before it is turned (off, ext) and the turn that shows the
// picture upright in the typed box. The box's edges in EMU are rounded as for a picture shown as
// stored, so the turned frame covers the same EMU.
struct PictureTransform
{
    UnitBox frame;
    UprightTurn turn;
};
PictureTransform pictureTransform(const PictureBox& box, Orientation orientation);

} // namespace kestrane::presentation

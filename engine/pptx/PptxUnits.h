#pragma once

#include <cstdint>

namespace kestrane::presentation {

// Office Open XML places shapes in EMU (English Metric Units), 12700 to the point. Offsets are
// ST_Coordinate, extents ST_PositiveCoordinate; both are the widest range the engine writes.
inline constexpr std::int64_t emuPerPoint = 12700;
inline constexpr std::int64_t minEmuCoordinate = -27273042329600;
inline constexpr std::int64_t maxEmuCoordinate = 27273042316900;

std::int64_t toEmu(double points);
bool fitsEmuOffset(double points);
bool fitsEmuExtent(double points);

} // namespace kestrane::presentation

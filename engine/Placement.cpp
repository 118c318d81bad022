#include "engine/Placement.h"

#include "base/Error.h"
#include "base/Placement.h"
#include "engine/pptx/PptxUnits.h"

namespace kestrane::presentation {

namespace {

enum class Kind
{
    Position,
    Size,
};

double readOne(const char* what, const std::string& text, Kind kind)
{
    const std::string context = std::string(what) + " \"" + text + "\"";
    const auto value = parseNumber(text);
    if (!value)
        throw Error(ErrorCode::PlacementNotNumeric, context);
    const bool fits = kind == Kind::Position ? fitsEmuOffset(*value) : fitsEmuExtent(*value);
    if (!fits)
        throw Error(ErrorCode::PlacementOutOfRange, context);
    return *value;
}

} // namespace

PictureBox readPlacement(const std::string& left, const std::string& top, const std::string& width,
                         const std::string& height)
{
    PictureBox box;
    box.left = readOne("Left", left, Kind::Position);
    box.top = readOne("Top", top, Kind::Position);
    box.width = readOne("Width", width, Kind::Size);
    box.height = readOne("Height", height, Kind::Size);
    return box;
}

} // namespace kestrane::presentation

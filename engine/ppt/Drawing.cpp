#include "engine/ppt/Drawing.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace kestrane::presentation::ppt {

namespace {

constexpr auto slideWidthEmu = static_cast<std::uint32_t>(slideWidthPoints * emuPerPoint);
constexpr auto slideHeightEmu = static_cast<std::uint32_t>(slideHeightPoints * emuPerPoint);

enum ShapeFlags : std::uint32_t
{
    Group = 0x001,
    Patriarch = 0x004,
    FlipH = 0x040,
    FlipV = 0x080,
    HaveAnchor = 0x200,
    Background = 0x400,
    HaveShapeType = 0x800,
};

enum ShapeType : std::uint16_t
{
    NotPrimitive = 0,
    Rectangle = 1,
    PictureFrameType = 75,
};

using Property = std::pair<std::uint16_t, std::uint32_t>;

// A property whose value lies after the property table: a NUL-terminated UTF-16 text.
struct TextProperty
{
    std::uint16_t id;
    std::string_view utf8;
};

constexpr std::uint16_t complexValue = 0x8000;

Bytes shapeAtom(ShapeType type, std::uint64_t shapeId, std::uint32_t flags)
{
    FieldWriter payload;
    payload.u32(static_cast<std::uint32_t>(shapeId)).u32(flags);
    return atom(FSP, 2, type, payload.bytes());
}

// Properties are written in ascending id order, as every reader seen so far expects; the texts'
// ids follow the others'. Each text's table entry holds its length, and the texts follow the
// table in the same order.
Bytes properties(const std::vector<Property>& values, const std::vector<TextProperty>& texts = {})
{
    FieldWriter payload;
    for (const auto& [id, value] : values)
        payload.u16(id).u32(value);
    FieldWriter textData;
    for (const TextProperty& text : texts) {
        const std::size_t start = textData.bytes().size();
        textData.utf16(text.utf8).u16(0);
        payload.u16(text.id | complexValue).u32(static_cast<std::uint32_t>(textData.bytes().size() - start));
    }
    payload.raw(textData.bytes());
    return atom(FOPT, 3, static_cast<std::uint16_t>(values.size() + texts.size()), payload.bytes());
}

Bytes groupShape(std::uint64_t shapeId)
{
    FieldWriter groupBounds;
    groupBounds.zeros(16);
    return container(
        SpContainer, 0,
        {atom(FSPGR, 1, 0, groupBounds.bytes()), shapeAtom(NotPrimitive, shapeId, Group | Patriarch)});
}

// The slide-sized background every PowerPoint drawing carries, filled from the colour scheme.
Bytes backgroundShape(std::uint64_t shapeId)
{
    return container(
        SpContainer, 0,
        {shapeAtom(Rectangle, shapeId, Background | HaveShapeType), properties({{0x0181, 0x08000000},
                                                                                {0x0183, 0x08000005},
                                                                                {0x0193, slideWidthEmu},
                                                                                {0x0194, slideHeightEmu},
                                                                                {0x01BF, 0x00120012},
                                                                                {0x01FF, 0x00080000},
                                                                                {0x0304, 9},
                                                                                {0x033F, 0x00010001}})});
}

struct Placeholder
{
    std::int32_t position;
    std::uint8_t placementId;
    std::uint8_t size;
    std::uint32_t textType;
    std::string_view text;
    std::uint16_t fieldAtom; // 0 when the text is not a field
    PictureBox box;
};

// PowerPoint's master layout, in shares of the slide: the title and the text between side margins,
// the date, footer and slide number in a row along the bottom.
constexpr double margin = slideWidthPoints * 3 / 40;
constexpr double textWidth = slideWidthPoints - 2 * margin;
constexpr double fieldTop = slideHeightPoints * 41 / 45;
constexpr double fieldHeight = slideHeightPoints * 11 / 180;
constexpr double cornerWidth = slideWidthPoints * 7 / 30;
constexpr double footerWidth = slideWidthPoints * 19 / 60;
constexpr PictureBox title{margin, slideHeightPoints / 20, textWidth, slideHeightPoints / 5};
constexpr PictureBox body{margin, slideHeightPoints * 17 / 60, textWidth, slideHeightPoints * 3 / 5};
constexpr PictureBox date{margin, fieldTop, cornerWidth, fieldHeight};
constexpr PictureBox footer{(slideWidthPoints - footerWidth) / 2, fieldTop, footerWidth, fieldHeight};
constexpr PictureBox number{slideWidthPoints - margin - cornerWidth, fieldTop, cornerWidth, fieldHeight};

constexpr Placeholder masterPlaceholders[] = {
    {0, 0x01, 0, 0, "Click to edit Master title style", 0, title},
    {1, 0x02, 0, 1, "Click to edit Master text styles", 0, body},
    {2, 0x07, 1, 4, "*", GenericDateMCAtom, date},
    {3, 0x09, 2, 4, "*", FooterMCAtom, footer},
    {4, 0x08, 2, 4, "*", SlideNumberMCAtom, number},
};

Bytes placeholderShape(const Placeholder& placeholder, std::uint64_t shapeId)
{
    FieldWriter placement;
    placement.i32(placeholder.position).u8(placeholder.placementId).u8(placeholder.size).u16(0);

    FieldWriter header;
    header.u32(placeholder.textType);
    FieldWriter chars;
    chars.utf16(placeholder.text);
    // One paragraph run and one character run over the text and its closing paragraph mark.
    const auto runLength = static_cast<std::uint32_t>(placeholder.text.size() + 1);
    FieldWriter runs;
    runs.u32(runLength).u16(0).u32(0);
    runs.u32(runLength).u32(0);

    std::vector<Bytes> text{atom(TextHeaderAtom, 0, 0, header.bytes()),
                            atom(TextCharsAtom, 0, 0, chars.bytes()),
                            atom(StyleTextPropAtom, 0, 0, runs.bytes())};
    if (placeholder.fieldAtom != 0)
        text.push_back(atom(placeholder.fieldAtom, 0, 0, Bytes(4, 0)));

    return container(SpContainer, 0,
                     {shapeAtom(Rectangle, shapeId, HaveAnchor | HaveShapeType),
                      properties({{0x0181, 0x08000004},
                                  {0x0183, 0x08000000},
                                  {0x01BF, 0x00110001},
                                  {0x01C0, 0x08000001},
                                  {0x01FF, 0x00090001},
                                  {0x0201, 0x08000002}}),
                      clientAnchor(anchorOf(placeholder.box)),
                      container(ClientData, 0, {atom(OEPlaceholderAtom, 0, 0, placement.bytes())}),
                      container(ClientTextbox, 0, text)});
}

// Named "Picture N" by its place on the slide, as office suites name inserted pictures, with the
// picture's file name as its alternative text.
Bytes pictureShape(const PictureFrame& frame, std::size_t number, std::uint64_t shapeId)
{
    const std::string name = "Picture " + std::to_string(number);
    std::uint32_t flags = HaveAnchor | HaveShapeType;
    if (frame.turn.flipH)
        flags |= FlipH;
    if (frame.turn.flipV)
        flags |= FlipV;
    std::vector<Property> values;
    // Degrees in 16.16 fixed point, clockwise. This format mirrors a shape after turning it, not
    // before: with one mirror the same picture takes the opposite turn.
    const int degrees =
        frame.turn.flipH != frame.turn.flipV ? (360 - frame.turn.degrees) % 360 : frame.turn.degrees;
    if (degrees != 0)
        values.push_back({0x0004, static_cast<std::uint32_t>(degrees) << 16});
    values.insert(values.end(), {{0x007F, 0x00800080}, // lock the aspect ratio
                                 {0x4104, frame.pictureIndex},
                                 {0x01BF, 0x00100000},   // no fill
                                 {0x01FF, 0x00080000}}); // no line
    return container(SpContainer, 0,
                     {shapeAtom(PictureFrameType, shapeId, flags),
                      properties(values, {{0x0380, name}, {0x0381, frame.description}}),
                      clientAnchor(frame.anchor)});
}

Bytes drawing(const DrawingIds& ids, std::vector<Bytes> groupChildren)
{
    FieldWriter counts;
    // The group shape is not counted.
    counts.u32(static_cast<std::uint32_t>(ids.shapeCount - 1))
        .u32(static_cast<std::uint32_t>(ids.lastShapeId()));
    groupChildren.insert(groupChildren.begin(), groupShape(ids.firstShapeId));
    return container(
        Drawing, 0,
        {container(DgContainer, 0,
                   {atom(FDG, 0, static_cast<std::uint16_t>(ids.drawingId), counts.bytes()),
                    container(SpgrContainer, 0, groupChildren), backgroundShape(ids.lastShapeId())})});
}

} // namespace

ShapeIds::ShapeIds(const std::vector<std::uint64_t>& shapesPerDrawing)
{
    std::uint64_t cluster = 1;
    std::uint32_t drawingId = 1;
    for (std::uint64_t shapes : shapesPerDrawing) {
        m_drawings.push_back({drawingId++, cluster * shapeIdsPerCluster, shapes});
        cluster += (shapes + shapeIdsPerCluster - 1) / shapeIdsPerCluster;
    }
}

std::uint64_t ShapeIds::nextFreeShapeId() const
{
    return m_drawings.empty() ? 0 : m_drawings.back().lastShapeId() + 1;
}

Bytes ShapeIds::groupBlock() const
{
    FieldWriter clusters;
    std::uint32_t clusterCount = 0;
    std::uint64_t savedShapes = 0;
    for (const DrawingIds& ids : m_drawings) {
        for (std::uint64_t left = ids.shapeCount; left > 0;) {
            const std::uint64_t used = std::min<std::uint64_t>(left, shapeIdsPerCluster);
            clusters.u32(ids.drawingId).u32(static_cast<std::uint32_t>(used));
            left -= used;
            ++clusterCount;
        }
        savedShapes += ids.shapeCount - 1;
    }
    FieldWriter payload;
    payload.u32(static_cast<std::uint32_t>(nextFreeShapeId()));
    payload.u32(clusterCount + 1);
    payload.u32(static_cast<std::uint32_t>(savedShapes));
    payload.u32(static_cast<std::uint32_t>(m_drawings.size()));
    payload.raw(clusters.bytes());
    return atom(FDGGBlock, 0, 0, payload.bytes());
}

Anchor anchorOf(const PictureBox& box)
{
    auto edge = [](double points) { return static_cast<std::int16_t>(toUnits(points, masterUnitsPerPoint)); };
    return {edge(box.top), edge(box.left), edge(box.left + box.width), edge(box.top + box.height)};
}

Bytes clientAnchor(const Anchor& anchor)
{
    FieldWriter payload;
    payload.i16(anchor.top).i16(anchor.left).i16(anchor.right).i16(anchor.bottom);
    return atom(ClientAnchor, 0, 0, payload.bytes());
}

Bytes masterDrawing(const DrawingIds& ids)
{
    std::vector<Bytes> shapes;
    std::uint64_t shapeId = ids.firstShapeId;
    for (const Placeholder& placeholder : masterPlaceholders)
        shapes.push_back(placeholderShape(placeholder, ++shapeId));
    return drawing(ids, std::move(shapes));
}

Bytes slideDrawing(const DrawingIds& ids, const std::vector<PictureFrame>& frames)
{
    std::vector<Bytes> shapes;
    std::uint64_t shapeId = ids.firstShapeId;
    for (std::size_t i = 0; i < frames.size(); ++i)
        shapes.push_back(pictureShape(frames[i], i + 1, ++shapeId));
    return drawing(ids, std::move(shapes));
}

} // namespace kestrane::presentation::ppt

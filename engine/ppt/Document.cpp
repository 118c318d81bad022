#include "engine/ppt/Document.h"

#include "engine/ppt/Drawing.h"
#include "engine/ppt/TextStyles.h"

#include <algorithm>
#include <string_view>

namespace kestrane::presentation::ppt {

namespace {

constexpr std::string_view fontName = "Arial";
constexpr std::string_view userName = "Kestrane";
constexpr std::uint32_t maxPersistRun = 4095;

Bytes documentAtom()
{
    FieldWriter payload;
    payload.i32(slideWidthUnits).i32(slideHeightUnits);
    payload.i32(slideHeightUnits).i32(slideWidthUnits); // notes pages are portrait
    payload.i32(1).i32(2);                              // server zoom
    payload.u32(0);                                     // no notes master
    payload.u32(0);                                     // no handout master
    payload.u16(1);                                     // first slide number
    payload.u16(slideIsScreen4x3 ? 0 : 6);              // on-screen show (4:3), or custom
    payload.u8(0).u8(0).u8(0).u8(1);                    // fonts not embedded, ..., show comments
    return atom(DocumentAtom, 1, 0, payload.bytes());
}

Bytes fontCollection()
{
    FieldWriter face;
    face.utf16(fontName).zeros(64 - 2 * fontName.size());
    face.u8(0);    // ANSI character set
    face.u8(0);    // no embedding flags
    face.u8(0x04); // TrueType
    face.u8(0x22); // variable pitch, swiss
    return container(FontCollection, 0, {atom(FontEntityAtom, 0, 0, face.bytes())});
}

Bytes environment()
{
    FieldWriter kinsoku;
    kinsoku.u32(0);
    return container(Environment, 0,
                     {container(Kinsoku, 2, {atom(KinsokuAtom, 0, 3, kinsoku.bytes())}), fontCollection(),
                      defaultCharacterStyle(), defaultParagraphStyle(), defaultLanguageStyle(),
                      textMasterStyle(TextType::Other)});
}

Bytes persistAtom(std::uint32_t persistId, std::uint32_t flags, std::uint32_t id)
{
    FieldWriter payload;
    payload.u32(persistId).u32(flags).u32(0).u32(id).u32(0);
    return atom(SlidePersistAtom, 0, 0, payload.bytes());
}

// The scheme PowerPoint's blank template uses: background, text, shadow, title text, fill,
// accent, hyperlink, followed hyperlink.
Bytes colourScheme(std::uint16_t instance)
{
    constexpr std::uint32_t colours[] = {0xFFFFFF, 0x000000, 0x808080, 0x000000,
                                         0xBBE0E3, 0x333399, 0x009999, 0x99CC00};
    FieldWriter payload;
    for (std::uint32_t rgb : colours)
        payload.u8(static_cast<std::uint8_t>(rgb >> 16))
            .u8(static_cast<std::uint8_t>(rgb >> 8))
            .u8(static_cast<std::uint8_t>(rgb))
            .u8(0);
    return atom(ColorSchemeAtom, 0, instance, payload.bytes());
}

enum class LayoutKind
{
    Master,
    BlankSlide,
};

Bytes slideAtom(LayoutKind kind)
{
    FieldWriter payload;
    if (kind == LayoutKind::Master) {
        payload.i32(1); // title and body
        payload.u8(0x01).u8(0x02).u8(0x07).u8(0x09).u8(0x08).zeros(3);
        payload.u32(0); // a main master has no master
        payload.u32(0); // no notes
        payload.u16(0);
    } else {
        payload.i32(0x10); // blank
        payload.zeros(8);
        payload.u32(masterId);
        payload.u32(0);
        payload.u16(0x0007); // follow the master's objects, scheme and background
    }
    payload.u16(0);
    return atom(SlideAtom, 2, 0, payload.bytes());
}

constexpr std::uint16_t schemeList = 6;
constexpr std::uint16_t ownScheme = 1;

} // namespace

Bytes documentContainer(std::size_t slideCount, const Bytes& drawingGroupBlock, const Bytes& pictureEntries)
{
    std::vector<Bytes> drawingGroup{drawingGroupBlock};
    if (!pictureEntries.empty())
        drawingGroup.push_back(pictureEntries);

    std::vector<Bytes> children{documentAtom(), environment(),
                                container(DrawingGroup, 0, {container(DggContainer, 0, drawingGroup)}),
                                container(SlideListWithText, 1, {persistAtom(masterPersistId, 0, masterId)})};
    if (slideCount > 0) {
        std::vector<Bytes> slides;
        slides.reserve(slideCount);
        for (std::uint32_t i = 0; i < slideCount; ++i)
            slides.push_back(persistAtom(firstSlidePersistId + i, 0x4, firstSlideId + i));
        children.push_back(container(SlideListWithText, 0, slides));
    }
    children.push_back(atom(EndDocumentAtom, 0, 0, {}));
    return container(Document, 0, children);
}

Bytes mainMasterContainer(const Bytes& drawing)
{
    return container(MainMaster, 0,
                     {slideAtom(LayoutKind::Master), colourScheme(schemeList),
                      textMasterStyle(TextType::Title), textMasterStyle(TextType::Body),
                      textMasterStyle(TextType::Notes), textMasterStyle(TextType::CenterBody),
                      textMasterStyle(TextType::CenterTitle), textMasterStyle(TextType::HalfBody),
                      textMasterStyle(TextType::QuarterBody), drawing, colourScheme(ownScheme)});
}

Bytes slideContainer(const Bytes& drawing)
{
    return container(Slide, 0, {slideAtom(LayoutKind::BlankSlide), drawing, colourScheme(ownScheme)});
}

Bytes persistDirectory(const std::vector<std::uint32_t>& offsets)
{
    FieldWriter payload;
    for (std::size_t first = 0; first < offsets.size(); first += maxPersistRun) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(maxPersistRun, offsets.size() - first));
        payload.u32(static_cast<std::uint32_t>(first + 1) | count << 20);
        for (std::size_t i = first; i < first + count; ++i)
            payload.u32(offsets[i]);
    }
    return atom(PersistDirectoryAtom, 0, 0, payload.bytes());
}

Bytes userEdit(std::uint32_t persistDirectoryOffset, std::uint32_t persistIdSeed, std::size_t slideCount)
{
    FieldWriter payload;
    payload.u32(slideCount > 0 ? firstSlideId : 0);
    payload.u16(0);      // version
    payload.u8(0).u8(3); // minor, major
    payload.u32(0);      // no earlier edit
    payload.u32(persistDirectoryOffset);
    payload.u32(documentPersistId);
    payload.u32(persistIdSeed);
    payload.u16(1); // slide view
    payload.u16(0);
    return atom(UserEditAtom, 0, 0, payload.bytes());
}

Bytes currentUser(std::uint32_t userEditOffset)
{
    FieldWriter payload;
    payload.u32(0x14);       // size of the fixed part
    payload.u32(0xE391C05F); // not encrypted
    payload.u32(userEditOffset);
    payload.u16(static_cast<std::uint16_t>(userName.size()));
    payload.u16(0x03F4);
    payload.u8(3).u8(0);
    payload.u16(0);
    payload.raw(userName.data(), userName.size());
    payload.u32(8); // one main master
    // The Unicode copy of the name follows the record without being counted in it.
    Bytes stream = atom(CurrentUserAtom, 0, 0, payload.bytes());
    FieldWriter unicodeName;
    unicodeName.utf16(userName);
    stream.insert(stream.end(), unicodeName.bytes().begin(), unicodeName.bytes().end());
    return stream;
}

} // namespace kestrane::presentation::ppt

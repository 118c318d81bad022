#include "engine/pptx/PptxWriter.h"

#include "base/Error.h"
#include "engine/DistinctPictures.h"
#include "engine/pptx/PptxParts.h"
#include "engine/pptx/PptxUnits.h"
#include "engine/pptx/ZipPackage.h"

#include <cstdio>
#include <vector>

namespace kestrane::presentation {

namespace {

// A number as the refusal states it: "%.1f" for a limit, "%.10g" for a typed value, which
// std::to_string would pad to six decimals.
std::string formatted(const char* format, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string limitText(std::int64_t emu)
{
    return formatted("%.1f", double(emu) / double(emuPerPoint));
}

[[noreturn]] void limitExceeded(const std::string& limit)
{
    throw Error(ErrorCode::FormatLimitExceeded, "PowerPoint (.pptx) allows " + limit);
}

void checkOffset(const char* edge, double points, const std::string& label)
{
    if (!fitsEmuOffset(points))
        limitExceeded("picture positions only from " + limitText(minEmuCoordinate) + " to " +
                      limitText(maxEmuCoordinate) + " points, " + label + " has a " + edge + " of " +
                      formatted("%.10g", points) + " points");
}

void checkFrameOffset(const char* edge, std::int64_t emu, const std::string& label)
{
    if (emu < minEmuCoordinate || emu > maxEmuCoordinate)
        limitExceeded("picture positions only from " + limitText(minEmuCoordinate) + " to " +
                      limitText(maxEmuCoordinate) + " points, " + label +
                      ", turned upright, has its frame's " + edge + " at " + limitText(emu) + " points");
}

void checkExtent(const char* side, double points, const std::string& label)
{
    if (fitsEmuExtent(points))
        return;
    // A size typed above zero must not vanish when it is rounded.
    if (points > 0 && points < 1 && toEmu(points) == 0)
        limitExceeded("picture sizes only in steps of 1/" + std::to_string(emuPerPoint) + " point, " + label +
                      " is too small to show");
    limitExceeded("picture sizes only from 0 to " + limitText(maxEmuCoordinate) + " points, " + label +
                  " has a " + side + " of " + formatted("%.10g", points) + " points");
}

const Picture& asItIs(const Picture& picture)
{
    return picture;
}

} // namespace

void checkPptxLimits(const Deck& deck)
{
    for (std::size_t s = 0; s < deck.slides.size(); ++s) {
        for (const PlacedPicture& placed : deck.slides[s].pictures) {
            const PictureBox& box = placed.box;
            const std::string label =
                "picture " + placed.picture->name() + " on slide " + std::to_string(s + 1);
            checkOffset("left", box.left, label);
            checkOffset("top", box.top, label);
            checkExtent("width", box.width, label);
            checkExtent("height", box.height, label);
            // A frame turned a quarter has its sides swapped about the box's centre, so its offset
            // lies elsewhere than the typed one.
            const UnitBox frame = pictureTransform(box, placed.picture->orientation()).frame;
            checkFrameOffset("left", frame.left, label);
            checkFrameOffset("top", frame.top, label);
        }
    }
}

const Format pptxFormat{checkPptxLimits, asItIs, writePptx};

void writePptx(const Deck& deck, ByteSink& sink)
{
    const std::size_t slideCount = deck.slides.size();
    // One media part for each distinct picture, which every frame showing it refers to.
    const DistinctPictures media(deck, asItIs);
    ZipPackage zip(sink);
    // [Content_Types].xml first, as readers that stream the package expect; pictures last.
    zip.addText("[Content_Types].xml", pptx::contentTypes(deck));
    zip.addText("_rels/.rels", pptx::packageRelationships());
    zip.addText("docProps/core.xml", pptx::coreProperties(deck.savedAt));
    zip.addText("docProps/app.xml", pptx::appProperties(slideCount));
    zip.addText("ppt/presentation.xml", pptx::presentation(slideCount));
    zip.addText("ppt/_rels/presentation.xml.rels", pptx::presentationRelationships(slideCount));
    zip.addText("ppt/presProps.xml", pptx::presentationProperties());
    zip.addText("ppt/viewProps.xml", pptx::viewProperties());
    zip.addText("ppt/tableStyles.xml", pptx::tableStyles());
    zip.addText("ppt/theme/theme1.xml", pptx::theme());
    zip.addText("ppt/slideMasters/slideMaster1.xml", pptx::slideMaster());
    zip.addText("ppt/slideMasters/_rels/slideMaster1.xml.rels", pptx::slideMasterRelationships());
    zip.addText("ppt/slideLayouts/slideLayout1.xml", pptx::slideLayout());
    zip.addText("ppt/slideLayouts/_rels/slideLayout1.xml.rels", pptx::slideLayoutRelationships());
    for (std::size_t i = 0; i < slideCount; ++i) {
        const SlideContent& content = deck.slides[i];
        const std::string number = std::to_string(i + 1);
        zip.addText("ppt/slides/slide" + number + ".xml", pptx::slide(content));
        zip.addText("ppt/slides/_rels/slide" + number + ".xml.rels",
                    pptx::slideRelationships(content, media));
    }
    std::vector<ZipPackage::StoredPicture> pictures;
    for (std::size_t m = 0; m < media.entries().size(); ++m) {
        const Picture& picture = *media.entries()[m].picture;
        pictures.push_back({"ppt/media/" + pptx::mediaFileName(m, picture.format()), &picture});
    }
    zip.addPictures(pictures);
    zip.close();
}

} // namespace kestrane::presentation

#include "engine/pptx/PptxWriter.h"

#include "base/Error.h"
#include "engine/pptx/PptxParts.h"
#include "engine/pptx/PptxUnits.h"
#include "engine/pptx/ZipPackage.h"

namespace kestrane::presentation {

void checkPptxLimits(const Deck& deck)
{
    for (std::size_t s = 0; s < deck.slides.size(); ++s) {
        for (const PlacedPicture& placed : deck.slides[s].pictures) {
            const PictureBox& box = placed.box;
            if (!fitsEmuOffset(box.left) || !fitsEmuOffset(box.top) || !fitsEmuExtent(box.width) ||
                !fitsEmuExtent(box.height))
                throw Error(ErrorCode::FormatLimitExceeded,
                            "picture " + placed.picture->name() + " on slide " + std::to_string(s + 1));
        }
    }
}

namespace {

// A .pptx stores each picture once per frame showing it.
std::uint64_t framedPictureBytes(const Deck& deck)
{
    std::uint64_t total = 0;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures)
            total += placed.picture->size();
    }
    return total;
}

} // namespace

const Format pptxFormat{checkPptxLimits, framedPictureBytes, writePptx};

void writePptx(const Deck& deck, ByteSink& sink)
{
    const std::size_t slideCount = deck.slides.size();
    ZipPackage zip(sink);
    // [Content_Types].xml first, as readers that stream the package expect; pictures last.
    zip.addText("[Content_Types].xml", [slideCount] { return pptx::contentTypes(slideCount); });
    zip.addText("_rels/.rels", pptx::packageRelationships);
    zip.addText("docProps/core.xml", [&deck] { return pptx::coreProperties(deck.savedAt); });
    zip.addText("docProps/app.xml", [slideCount] { return pptx::appProperties(slideCount); });
    zip.addText("ppt/presentation.xml", [slideCount] { return pptx::presentation(slideCount); });
    zip.addText("ppt/_rels/presentation.xml.rels",
                [slideCount] { return pptx::presentationRelationships(slideCount); });
    zip.addText("ppt/presProps.xml", pptx::presentationProperties);
    zip.addText("ppt/viewProps.xml", pptx::viewProperties);
    zip.addText("ppt/tableStyles.xml", pptx::tableStyles);
    zip.addText("ppt/theme/theme1.xml", pptx::theme);
    zip.addText("ppt/slideMasters/slideMaster1.xml", pptx::slideMaster);
    zip.addText("ppt/slideMasters/_rels/slideMaster1.xml.rels", pptx::slideMasterRelationships);
    zip.addText("ppt/slideLayouts/slideLayout1.xml", pptx::slideLayout);
    zip.addText("ppt/slideLayouts/_rels/slideLayout1.xml.rels", pptx::slideLayoutRelationships);
    std::size_t pictureNumber = 1;
    for (std::size_t i = 0; i < slideCount; ++i) {
        const SlideContent& content = deck.slides[i];
        const std::string number = std::to_string(i + 1);
        zip.addText("ppt/slides/slide" + number + ".xml", [&content] { return pptx::slide(content); });
        zip.addText("ppt/slides/_rels/slide" + number + ".xml.rels",
                    [&content, pictureNumber] { return pptx::slideRelationships(content, pictureNumber); });
        pictureNumber += content.pictures.size();
    }
    pictureNumber = 1;
    for (const SlideContent& content : deck.slides) {
        for (const PlacedPicture& placed : content.pictures) {
            zip.addPicture("ppt/media/" + pptx::mediaFileName(pictureNumber, placed.picture->format()),
                           placed.picture);
            ++pictureNumber;
        }
    }
    zip.close();
}

} // namespace kestrane::presentation

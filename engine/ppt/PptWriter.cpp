#include "engine/ppt/PptWriter.h"

#include "base/Error.h"
#include "engine/ppt/CompoundFile.h"
#include "engine/ppt/Document.h"
#include "engine/ppt/Drawing.h"
#include "engine/ppt/PictureStore.h"
#include "engine/ppt/PropertySets.h"

#include <cmath>
#include <string>
#include <unordered_set>

namespace kestrane::presentation {

namespace {

using namespace ppt;

// The CLSID PowerPoint gives the root of its compound files.
constexpr std::uint8_t powerPointClassId[16] = {0x10, 0x8D, 0x81, 0x64, 0x9B, 0x4F, 0xCF, 0x11,
                                                0x86, 0xEA, 0x00, 0xAA, 0x00, 0xB9, 0x29, 0xE8};

constexpr std::size_t maxSlides = maxDrawingId - 1;
// Every stream of a compound file with 512-byte sectors stays within 2 GiB.
constexpr std::uint64_t maxStreamSize = 0x80000000;
// The picture entries are counted in a 12-bit field.
constexpr std::size_t maxPictures = 0xFFF;

[[noreturn]] void limitExceeded(const std::string& limit)
{
    throw Error(ErrorCode::FormatLimitExceeded, "PowerPoint 97-2003 (.ppt) allows " + limit +
                                                    "; convert again and save under a name ending in .pptx");
}

// Anchors hold 16-bit master units: -4096 to 4095.875 points.
bool edgeFits(double points)
{
    const double units = std::round(points * masterUnitsPerPoint);
    return std::isfinite(units) && units >= INT16_MIN && units <= INT16_MAX;
}

std::string pictureLabel(std::size_t slide, std::size_t picture)
{
    return "picture " + std::to_string(picture + 1) + " on slide " + std::to_string(slide + 1);
}

// The deck's picture objects, each once, and the bytes of their BLIP records: counted before
// identical contents are merged, so that the limits need not read the pictures.
std::pair<std::size_t, std::uint64_t> pictureObjects(const Deck& deck)
{
    std::unordered_set<const Picture*> seen;
    std::uint64_t bytes = 0;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            if (seen.insert(placed.picture.get()).second)
                bytes += placed.picture->pptForm().size() + blipOverhead;
        }
    }
    return {seen.size(), bytes};
}

std::vector<std::uint64_t> shapeCounts(const Deck& deck)
{
    std::vector<std::uint64_t> counts{masterShapeCount};
    for (const SlideContent& slide : deck.slides)
        counts.push_back(slideShapeCount(slide.pictures.size()));
    return counts;
}

void addBytes(CompoundFile& file, const std::string& name, const Bytes& bytes)
{
    file.addStream(name, [&bytes](StreamOutput& out) { out.write(bytes.data(), bytes.size()); });
}

// One user edit: the document, the master and the slides, then the persist directory that finds
// them and the user edit that finds the directory.
Bytes documentStream(const Deck& deck, const PictureStore& pictures, std::uint32_t& userEditOffset)
{
    const ShapeIds ids(shapeCounts(deck));
    Bytes stream = documentContainer(deck.slides.size(), ids.groupBlock(), pictures.entryContainer());
    std::vector<std::uint32_t> offsets{0};
    auto append = [&stream, &offsets](const Bytes& record) {
        offsets.push_back(static_cast<std::uint32_t>(stream.size()));
        stream.insert(stream.end(), record.begin(), record.end());
    };

    append(mainMasterContainer(masterDrawing(ids.drawing(0))));
    for (std::size_t i = 0; i < deck.slides.size(); ++i) {
        std::vector<PictureFrame> frames;
        for (const PlacedPicture& placed : deck.slides[i].pictures)
            frames.push_back({anchorOf(placed.box), uprightTurn(placed.picture->orientation()),
                              pictures.pictureIndex(*placed.picture), placed.picture->name()});
        append(slideContainer(slideDrawing(ids.drawing(i + 1), frames)));
    }

    const auto directoryOffset = static_cast<std::uint32_t>(stream.size());
    const Bytes directory = persistDirectory(offsets);
    stream.insert(stream.end(), directory.begin(), directory.end());
    userEditOffset = static_cast<std::uint32_t>(stream.size());
    const Bytes edit =
        userEdit(directoryOffset, static_cast<std::uint32_t>(offsets.size()), deck.slides.size());
    stream.insert(stream.end(), edit.begin(), edit.end());
    return stream;
}

} // namespace

void checkPptLimits(const Deck& deck)
{
    if (deck.slides.size() > maxSlides)
        limitExceeded("at most " + std::to_string(maxSlides) + " slides, this presentation has " +
                      std::to_string(deck.slides.size()));
    for (std::size_t s = 0; s < deck.slides.size(); ++s) {
        const auto& placed = deck.slides[s].pictures;
        for (std::size_t p = 0; p < placed.size(); ++p) {
            const PictureBox& box = placed[p].box;
            for (double edge : {box.left, box.top, box.left + box.width, box.top + box.height}) {
                if (!edgeFits(edge))
                    limitExceeded("picture edges only from -4096 to 4095.875 points, " + pictureLabel(s, p) +
                                  " has an edge at " + std::to_string(edge) + " points");
            }
            // A size typed above zero must not vanish when its edges are rounded.
            const Anchor anchor = anchorOf(box);
            if ((box.width > 0 && anchor.right == anchor.left) ||
                (box.height > 0 && anchor.bottom == anchor.top))
                limitExceeded("picture edges only in steps of 1/8 point, " + pictureLabel(s, p) +
                              " is too small to show");
        }
    }
    const auto [pictures, blipBytes] = pictureObjects(deck);
    if (pictures > maxPictures)
        limitExceeded("at most " + std::to_string(maxPictures) +
                      " different pictures, this presentation has " + std::to_string(pictures));
    if (blipBytes > maxStreamSize)
        limitExceeded("at most 2 GiB of pictures in all, these pictures need " + std::to_string(blipBytes) +
                      " bytes");
    if (ShapeIds(shapeCounts(deck)).nextFreeShapeId() >= shapeIdLimit)
        limitExceeded("fewer pictures in all: the shape identifiers run out");
}

const Format pptFormat{checkPptLimits, pptFormOf, writePpt};

void writePpt(const Deck& deck, ByteSink& sink)
{
    PictureStore pictures(deck);
    CompoundFile file(sink, powerPointClassId);
    if (!pictures.entries().empty())
        file.addStream("Pictures", [&](StreamOutput& out) { pictures.writeBlips(out); });
    std::uint32_t userEditOffset = 0;
    const Bytes document = documentStream(deck, pictures, userEditOffset);
    addBytes(file, "PowerPoint Document", document);
    addBytes(file, "Current User", currentUser(userEditOffset));
    addBytes(file, summaryInformationStream, summaryInformation(deck.savedAt));
    addBytes(file, documentSummaryInformationStream, documentSummaryInformation(deck.slides.size()));
    file.finish();
}

} // namespace kestrane::presentation

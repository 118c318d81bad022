#include "engine/SaveDeck.h"

#include "engine/AtomicSave.h"
#include "engine/ppt/PptWriter.h"
#include "engine/pptx/PptxWriter.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>
#include <vector>

namespace kestrane::presentation {

const Format& formatFor(const std::string& fileName)
{
    constexpr std::string_view suffix = ".pptx";
    const bool pptx =
        fileName.size() >= suffix.size() &&
        std::equal(suffix.begin(), suffix.end(), fileName.end() - suffix.size(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    return pptx ? pptxFormat : pptFormat;
}

namespace {

// What a file stores of a deck's pictures, each picture once, and those of them whose digests
// are not known yet: the digest thread has not got to them, as the name came quickly or the
// pictures come from a slow medium.
struct StoredPictures
{
    std::uint64_t bytes = 0;
    std::vector<const Picture*> undigested;
    std::uint64_t undigestedBytes = 0;
};

StoredPictures storedPictures(const Deck& deck, DistinctPictures::Form form)
{
    StoredPictures pictures;
    std::unordered_set<const Picture*> seen;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            const Picture& stored = form(*placed.picture);
            if (!seen.insert(&stored).second)
                continue;
            pictures.bytes += stored.size();
            if (!stored.digested()) {
                pictures.undigested.push_back(&stored);
                pictures.undigestedBytes += stored.size();
            }
        }
    }
    return pictures;
}

} // namespace

void saveDeck(const Deck& deck, const std::string& fileName, const SaveProgress& progress)
{
    const Format& format = formatFor(fileName);
    format.checkLimits(deck);
    // Digests still to take are taken first and counted towards the progress, so that the
    // progress moves while they are read. Until they are known, identical pictures cannot be told
    // apart, and each picture counts as stored.
    const StoredPictures pictures = storedPictures(deck, format.stored);
    const std::uint64_t total = pictures.undigested.empty() ? DistinctPictures(deck, format.stored).bytes()
                                                            : pictures.undigestedBytes + pictures.bytes;
    AtomicFile file(fileName, total, progress);
    for (const Picture* picture : pictures.undigested) {
        picture->digest();
        file.count(picture->size());
    }
    format.write(deck, file);
    file.commit();
}

} // namespace kestrane::presentation

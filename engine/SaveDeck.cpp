#include "engine/SaveDeck.h"

#include "engine/AtomicSave.h"
#include "engine/ppt/PptWriter.h"
#include "engine/pptx/PptxWriter.h"

#include <algorithm>
#include <cctype>

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

void saveDeck(const Deck& deck, const std::string& fileName, const SaveProgress& progress)
{
    const Format& format = formatFor(fileName);
    format.checkLimits(deck);
    AtomicFile file(fileName, DistinctPictures(deck, format.stored).bytes(), progress);
    format.write(deck, file);
    file.commit();
}

} // namespace kestrane::presentation

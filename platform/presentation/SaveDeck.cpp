#include "platform/presentation/SaveDeck.h"

#include "platform/presentation/AtomicSave.h"
#include "platform/presentation/PptWriter.h"
#include "platform/presentation/PptxWriter.h"

#include <algorithm>
#include <cctype>

namespace kestrane::presentation {

namespace {

bool endsWithPptx(const std::string& fileName)
{
    constexpr std::string_view suffix = ".pptx";
    if (fileName.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), fileName.end() - suffix.size(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

} // namespace

void saveDeck(const Deck& deck, const std::string& fileName)
{
    if (endsWithPptx(fileName)) {
        checkPptxLimits(deck);
        saveAtomically(fileName, [&deck](ByteSink& sink) { writePptx(deck, sink); });
        return;
    }
    checkPptLimits(deck);
    saveAtomically(fileName, [&deck](ByteSink& sink) { writePpt(deck, sink); });
}

} // namespace kestrane::presentation

#include "engine/SaveDeck.h"

#include "engine/AtomicSave.h"
#include "engine/ppt/PptWriter.h"
#include "engine/pptx/PptxWriter.h"

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

// Reports every this many bytes: often enough for a progress bar, rarely enough to cost nothing.
constexpr std::uint64_t reportStep = std::uint64_t(4) << 20;

// Passes everything on to the file and counts the bytes written, rewritten ones included.
class ReportingSink : public ByteSink
{
public:
    ReportingSink(ByteSink& file, const SaveProgress& progress, std::uint64_t total)
        : m_file(file), m_progress(progress), m_total(total)
    {
    }

    void write(const void* data, std::size_t size) override
    {
        m_file.write(data, size);
        m_written += size;
        // Headers and parts add to the pictures; the count stays below the total until the end.
        if (m_written >= m_nextReport && m_written < m_total) {
            m_progress(m_written, m_total);
            m_nextReport = m_written + reportStep;
        }
    }
    void seek(std::uint64_t position) override { m_file.seek(position); }
    std::uint64_t position() const override { return m_file.position(); }

private:
    ByteSink& m_file;
    const SaveProgress& m_progress;
    std::uint64_t m_total;
    std::uint64_t m_written = 0;
    std::uint64_t m_nextReport = reportStep;
};

} // namespace

const Format& formatFor(const std::string& fileName)
{
    return endsWithPptx(fileName) ? pptxFormat : pptFormat;
}

void saveDeck(const Deck& deck, const std::string& fileName, const SaveProgress& progress)
{
    const Format& format = formatFor(fileName);
    format.checkLimits(deck);
    if (!progress) {
        saveAtomically(fileName, [&](ByteSink& file) { format.write(deck, file); });
        return;
    }
    const std::uint64_t total = format.pictureBytes(deck);
    progress(0, total);
    saveAtomically(fileName, [&](ByteSink& file) {
        ReportingSink sink(file, progress, total);
        format.write(deck, sink);
    });
    progress(total, total);
}

} // namespace kestrane::presentation

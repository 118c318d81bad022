#include "engine/DistinctPictures.h"

#include <map>
#include <tuple>

namespace kestrane::presentation {

DistinctPictures::DistinctPictures(const Deck& deck, Form form)
{
    std::map<std::tuple<PictureFormat, std::uint64_t, Digest>, std::size_t> byContent;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            auto [known, isNew] = m_index.emplace(placed.picture.get(), m_entries.size());
            if (isNew) {
                const Picture& stored = form(*placed.picture);
                const auto [same, unseen] = byContent.emplace(
                    std::tuple{stored.format(), stored.size(), stored.digest()}, known->second);
                known->second = same->second;
                if (unseen)
                    m_entries.push_back({&stored, 0});
            }
            ++m_entries[known->second].uses;
        }
    }
}

std::uint64_t DistinctPictures::bytes() const
{
    std::uint64_t total = 0;
    for (const Entry& entry : m_entries)
        total += entry.picture->size();
    return total;
}

} // namespace kestrane::presentation

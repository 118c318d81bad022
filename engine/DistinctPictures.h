#pragma once

#include "engine/Deck.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kestrane::presentation {

// The pictures a file stores for a deck: what `form` makes of each placed picture, identical
// contents (same format, size and digest) once, in order of first use. Takes every digest, so it
// throws what reading a picture throws.
class DistinctPictures
{
public:
    using Form = const Picture& (*)(const Picture& placed);

    struct Entry
    {
        const Picture* picture;
        // The frames that show it.
        std::uint32_t uses;
    };

    DistinctPictures(const Deck& deck, Form form);

    const std::vector<Entry>& entries() const { return m_entries; }
    // Where the entry of a placed picture stands in entries().
    std::size_t indexOf(const Picture& placed) const { return m_index.at(&placed); }
    std::uint64_t bytes() const;

private:
    std::vector<Entry> m_entries;
    std::unordered_map<const Picture*, std::size_t> m_index;
};

} // namespace kestrane::presentation

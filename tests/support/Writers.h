#pragma once

#include "engine/ppt/PptWriter.h"
#include "engine/pptx/PptxWriter.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrane::testing {

// Each format's writer and limit check, named by the file extension: the one place tests reach
// them, so a change to how the engine offers its formats is met here.
struct Writer
{
    const char* name;
    void (*write)(const presentation::Deck&, presentation::ByteSink&);
    void (*checkLimits)(const presentation::Deck&);
};

inline constexpr Writer writers[] = {
    {"pptx", presentation::writePptx, presentation::checkPptxLimits},
    {"ppt", presentation::writePpt, presentation::checkPptLimits},
};

inline const Writer& writer(std::string_view name)
{
    for (const Writer& candidate : writers) {
        if (candidate.name == name)
            return candidate;
    }
    throw std::invalid_argument("no writer for " + std::string(name));
}

} // namespace kestrane::testing

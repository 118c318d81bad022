#pragma once

#include "engine/ppt/Records.h"

#include <chrono>
#include <cstddef>

namespace kestrane::presentation::ppt {

// The two property-set streams PowerPoint writes into every file and readers look for: the
// summary information (code page, application name, creation and last-save times) and the
// document summary information (code page, slide count).
inline constexpr const char* summaryInformationStream = "\005SummaryInformation";
inline constexpr const char* documentSummaryInformationStream = "\005DocumentSummaryInformation";

Bytes summaryInformation(std::chrono::sys_seconds savedAt);
Bytes documentSummaryInformation(std::size_t slideCount);

} // namespace kestrane::presentation::ppt

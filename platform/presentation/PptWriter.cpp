#include "platform/presentation/PptWriter.h"

#include "platform/Error.h"

namespace kestrane::presentation {

void checkPptLimits(const Deck&)
{
    throw Error(ErrorCode::FormatUnavailable, "PowerPoint 97-2003 (.ppt); save under a name ending in .pptx");
}

void writePpt(const Deck&, ByteSink&)
{
    throw Error(ErrorCode::FormatUnavailable, "PowerPoint 97-2003 (.ppt); save under a name ending in .pptx");
}

} // namespace kestrane::presentation

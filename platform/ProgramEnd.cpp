#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace kestrane {

void ProcessExit::end(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace kestrane

#include "platform/OpenFileLimit.h"

#include <sys/resource.h>

namespace kestrane {

void raiseOpenFileLimit()
{
    rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        // Should it fail, a large presentation fails later with a clear "too many open files".
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace kestrane

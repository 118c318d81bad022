#pragma once

#include <initializer_list>

namespace kestrane::testing {

// From now on every call of the given system calls (__NR_ numbers) in this process fails with
// `error`, as the kernel answers when a disk fails (EIO) or a file system is full (ENOSPC). The
// program's own code runs unchanged; only the kernel's answer differs. It cannot be undone, so
// call it in a child process (ChildProcess.h) only. Throws std::runtime_error when the kernel
// refuses the filter.
void failSystemCalls(std::initializer_list<long> calls, int error);

} // namespace kestrane::testing

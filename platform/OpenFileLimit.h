#pragma once

namespace kestrane {

// Raises the process's soft limit of open files as far as the hard limit allows. The engine keeps
// every added picture's file open until the presentation is saved or discarded, so a deck of
// thousands of pictures needs more than the usual 1024.
void raiseOpenFileLimit();

} // namespace kestrane

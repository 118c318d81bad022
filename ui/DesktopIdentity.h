#pragma once

namespace kestrane {

// Names the program to the desktop: its name, the icon every window shows, and the launcher
// the windows belong to. Called once the application object exists, before any window.
void setDesktopIdentity();

} // namespace kestrane

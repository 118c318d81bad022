#pragma once

namespace kestrane {

class MessageBox;
class ProgramEnd;
class SettingsStore;

// The outside services the windows reach, handed in so tests can put recording fakes in place.
struct Services
{
    SettingsStore& settings;
    MessageBox& messageBox;
    ProgramEnd& programEnd;
};

} // namespace kestrane

#pragma once

namespace kestrane {

class MessageBox;
class ObjectFactory;
class ProgramEnd;
class Progress;
class SaveFileDialog;
class SettingsStore;
class Shell;

// The outside services the windows reach, handed in so tests can put recording fakes in place.
struct Services
{
    SettingsStore& settings;
    MessageBox& messageBox;
    ProgramEnd& programEnd;
    Shell& shell;
    SaveFileDialog& saveDialog;
    ObjectFactory& objects;
    Progress& progress;
};

} // namespace kestrane

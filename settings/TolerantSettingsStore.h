#pragma once

#include "platform/SettingsStore.h"

namespace kestrane {

class Error;
class MessageBox;

// The settings store as the program uses it: losing the stored values is no reason not to work.
// The first failure is shown once, with its reason, and the program goes on: after a failed
// write nothing more is written, after a failed read the defaults stand in and nothing is
// written over a file that could not be read.
class TolerantSettingsStore : public SettingsStore
{
public:
    TolerantSettingsStore(SettingsStore& store, MessageBox& messageBox);

    std::string Read(const std::string& application, const std::string& section, const std::string& key,
                     int defaultValue) override;
    void Write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& text) override;

private:
    void giveUp(const Error& error);

    SettingsStore& m_store;
    MessageBox& m_messageBox;
    bool m_readable = true;
    bool m_writable = true;
};

} // namespace kestrane

#pragma once

#include "platform/SettingsStore.h"

#include <QString>

namespace kestrane {

// The settings store as one INI file per application, <folder>/<application>/<application>.ini.
// Values stand in the file exactly as given, with no quoting or escaping, and are read back
// trimmed of surrounding blanks. A write replaces the whole file by a new one made beside it and
// flushed to disk, so a failure on the way (a full disk) leaves the old file whole; every failure
// gives the system's reason.
class IniSettingsStore : public SettingsStore
{
public:
    explicit IniSettingsStore(QString folder);

    // The user's configuration folder (~/.config unless XDG_CONFIG_HOME says otherwise).
    static QString userFolder();

    std::string Read(const std::string& application, const std::string& section, const std::string& key,
                     int defaultValue) override;
    void Write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& text) override;

private:
    std::string fileFor(const std::string& application) const;

    std::string m_folder;
};

} // namespace kestrane

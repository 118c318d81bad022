#pragma once

#include "platform/SettingsStore.h"

#include <QString>

namespace kestrane {

// The settings store as one INI file per application, <folder>/<application>/<application>.ini,
// kept by QSettings. Values stand in the file exactly as given, with no quoting or escaping, and
// are read back trimmed of surrounding blanks. A store that cannot be written fails with the
// system's reason.
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
    QString fileFor(const std::string& application) const;

    QString m_folder;
};

} // namespace kestrane

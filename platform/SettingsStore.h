#pragma once

#include <string>

namespace kestrane {

// The per-user settings store: text values addressed by application, section and key.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // The stored text when the key exists, otherwise the default in plain decimal.
    virtual std::string Read(const std::string& application, const std::string& section,
                             const std::string& key, int defaultValue) = 0;
    // Creates application, section and key as needed; replaces an earlier text.
    virtual void Write(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& text) = 0;
};

} // namespace kestrane

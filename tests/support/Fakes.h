#pragma once

#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <map>
#include <string>
#include <vector>

namespace kestrane::testing {

// A settings store in memory that records every call in order.
class RecordingSettingsStore : public SettingsStore
{
public:
    std::string Read(const std::string& application, const std::string& section, const std::string& key,
                     int defaultValue) override
    {
        calls.push_back("Read " + application + "/" + section + "/" + key);
        const auto it = values.find(section + "/" + key);
        return it == values.end() ? std::to_string(defaultValue) : it->second;
    }

    void Write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& text) override
    {
        calls.push_back("Write " + application + "/" + section + "/" + key + "=" + text);
        values[section + "/" + key] = text;
    }

    std::string value(const std::string& key) const { return values.at("Settings/" + key); }

    std::map<std::string, std::string> values;
    std::vector<std::string> calls;
};

class RecordingMessageBox : public MessageBox
{
public:
    void show(const std::string& text) override { texts.push_back(text); }

    std::vector<std::string> texts;
};

// Records the status instead of ending the test process.
class RecordingProgramEnd : public ProgramEnd
{
public:
    void end(int status) override { statuses.push_back(status); }

    std::vector<int> statuses;
};

} // namespace kestrane::testing

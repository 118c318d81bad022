#pragma once

#include <string>

namespace kestrane {

// The desktop shell: opens a web address in the user's browser and returns at once.
class Shell
{
public:
    virtual ~Shell() = default;
    // False when nothing could be started; callers may ignore it.
    virtual bool open(const std::string& address) = 0;
};

} // namespace kestrane

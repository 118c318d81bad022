#pragma once

#include <string>

namespace kestrane {

// A modal message with a single OK button, no icon, titled with the program's name.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    virtual void show(const std::string& text) = 0;
};

} // namespace kestrane

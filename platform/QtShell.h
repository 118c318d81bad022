#pragma once

#include "platform/Shell.h"

namespace kestrane {

// Opens addresses through the desktop's URL handler (xdg-open and the like), detached.
class QtShell : public Shell
{
public:
    bool open(const std::string& address) override;
};

} // namespace kestrane

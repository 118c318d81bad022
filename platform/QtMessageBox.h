#pragma once

#include "platform/MessageBox.h"

namespace kestrane {

class QtMessageBox : public MessageBox
{
public:
    void show(const std::string& text) override;
};

} // namespace kestrane

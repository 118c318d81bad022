#pragma once

#include <string>

namespace kestrane {

// A modal Save-As file dialog. ShowSave starts from FileName and leaves the full path chosen in
// it, or leaves it as it was when the user cancels.
class SaveFileDialog
{
public:
    virtual ~SaveFileDialog() = default;
    virtual void setFileName(const std::string& fileName) = 0;
    virtual std::string fileName() const = 0;
    virtual void ShowSave() = 0;
};

} // namespace kestrane

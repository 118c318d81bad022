#pragma once

#include "platform/SaveFileDialog.h"

namespace kestrane {

// The Save-As dialog of the main window: its title, its one file type and no initial folder. A
// name without an extension gets ".ppt"; it asks before an existing file of the final name is
// replaced.
class QtSaveFileDialog : public SaveFileDialog
{
public:
    static constexpr const char* title = "Save PowerPoint File As";
    static constexpr const char* filter = "PowerPoint (*.ppt)";

    void setFileName(const std::string& fileName) override { m_fileName = fileName; }
    std::string fileName() const override { return m_fileName; }
    void ShowSave() override;

private:
    std::string m_fileName;
};

} // namespace kestrane

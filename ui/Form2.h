#pragma once

#include "platform/Drives.h"
#include "platform/FatalError.h"
#include "platform/Services.h"

#include <QWidget>

class QPushButton;

namespace kestrane {

class DirectoryList;
class DriveList;
class Form1;

// The directory chooser: a directory list above a drive list, "Select" and "Cancel". Its only
// output is the main window's imagedir, written on "Select".
class Form2 : public QWidget
{
    Q_OBJECT

public:
    // Starts with the working directory opened, or the home folder when the working directory is
    // gone or cannot be read, and the drive holding it selected.
    Form2(Form1& form1, Services services, DriveSource drives);

    // Reads the drives and the opened folder afresh, then shows the chooser application-modal and returns
    // once it is hidden or destroyed.
    void showModal();

    DirectoryList* Dir1;
    DriveList* Drive1;
    QPushButton* Command1;
    QPushButton* Command2;

signals:
    void hidden();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void openStartFolder();
    void refreshLists();
    void Drive1_Change();
    void Command1_Click();
    void Command2_Click();

    Form1& m_form1;
    Services m_services;
    DriveSource m_drives;
    // Every event handler runs through it, so a failure is reported and ends the program.
    HandlerRunner m_handle{m_services.messageBox, m_services.programEnd};
};

} // namespace kestrane

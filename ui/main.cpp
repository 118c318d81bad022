#include "platform/IniSettingsStore.h"
#include "platform/OpenFileLimit.h"
#include "platform/ProgramEnd.h"
#include "platform/QtMessageBox.h"
#include "platform/QtSaveFileDialog.h"
#include "platform/QtShell.h"
#include "settings/TolerantSettingsStore.h"
#include "ui/DesktopIdentity.h"
#include "ui/EngineObjectFactory.h"
#include "ui/Form1.h"
#include "ui/ProgramLifetime.h"
#include "ui/ProgressWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    kestrane::raiseOpenFileLimit();
    kestrane::setDesktopIdentity();

    kestrane::QtMessageBox messageBox;
    kestrane::IniSettingsStore file(kestrane::IniSettingsStore::userFolder());
    kestrane::TolerantSettingsStore settings(file, messageBox);
    kestrane::ProcessExit programEnd;
    kestrane::QtShell shell;
    kestrane::QtSaveFileDialog saveDialog;
    kestrane::ProgressWindow progress;
    kestrane::EngineObjectFactory objects(progress);
    const kestrane::Services services{settings, messageBox, programEnd, shell, saveDialog, objects, progress};

    auto* form1 = new kestrane::Form1(services);
    progress.belongTo(form1);
    // Closing the main window through its frame destroys it and saves nothing.
    form1->setAttribute(Qt::WA_DeleteOnClose);
    kestrane::ProgramLifetime lifetime(*form1, [] { QCoreApplication::quit(); });
    form1->start();
    return QApplication::exec();
}

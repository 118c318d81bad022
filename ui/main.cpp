#include "platform/IniSettingsStore.h"
#include "platform/ProgramEnd.h"
#include "platform/QtMessageBox.h"
#include "ui/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));

    kestrane::IniSettingsStore settings(kestrane::IniSettingsStore::userFolder());
    kestrane::QtMessageBox messageBox;
    kestrane::ProcessExit programEnd;
    const kestrane::Services services{settings, messageBox, programEnd};

    auto* form1 = new kestrane::Form1(services);
    // Closing the main window through its frame destroys it and saves nothing.
    form1->setAttribute(Qt::WA_DeleteOnClose);
    form1->start();
    return QApplication::exec();
}

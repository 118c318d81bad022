#include "ui/DesktopIdentity.h"

#include <QApplication>
#include <QIcon>

namespace kestrane {

void setDesktopIdentity()
{
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    // From the resource, so the windows carry it whether or not the program is installed.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/example.norvale.Kestrane.svg")));
    // Lets Wayland compositors match the windows to the launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.norvale.Kestrane"));
}

} // namespace kestrane

#include "platform/QtShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace kestrane {

bool QtShell::open(const std::string& address)
{
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

} // namespace kestrane

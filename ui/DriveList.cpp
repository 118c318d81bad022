#include "ui/DriveList.h"

#include "platform/Drives.h"

#include <QFile>
#include <QSignalBlocker>
#include <algorithm>

namespace kestrane {

namespace {

QString decoded(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

} // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::driveChanged);
}

void DriveList::setDrives(const std::vector<std::string>& drives, const QString& folder)
{
    const QSignalBlocker quiet(this);
    const QString chosen = currentText();
    clear();
    for (const std::string& drive : drives)
        addItem(decoded(drive));
    const int kept = findText(chosen);
    const int holder = findText(decoded(driveOf(drives, QFile::encodeName(folder).toStdString())));
    setCurrentIndex(kept >= 0 ? kept : std::max(0, holder));
}

QString DriveList::drive() const
{
    return currentText();
}

} // namespace kestrane

#include "ui/DriveList.h"

#include "platform/Drives.h"

#include <QFile>
#include <QSignalBlocker>
#include <algorithm>

namespace kestrane {

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::driveChanged);
}

void DriveList::setDrives(const std::vector<std::string>& drives, const QByteArray& folder)
{
    const QSignalBlocker quiet(this);
    const QByteArray chosen = drive();
    clear();
    for (const std::string& drive : drives) {
        const QByteArray mountPoint = QByteArray::fromStdString(drive);
        addItem(QFile::decodeName(mountPoint), mountPoint);
    }
    const int kept = findData(chosen);
    const int holder = findData(QByteArray::fromStdString(driveOf(drives, folder.toStdString())));
    setCurrentIndex(kept >= 0 ? kept : std::max(0, holder));
}

QByteArray DriveList::drive() const
{
    return currentData().toByteArray();
}

} // namespace kestrane

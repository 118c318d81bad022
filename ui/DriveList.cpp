#include "ui/DriveList.h"

#include "platform/Drives.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace kestrane {

DriveList::DriveList(const std::vector<std::string>& drives, QWidget* parent) : QComboBox(parent)
{
    for (const std::string& drive : drives)
        addItem(QFile::decodeName(QByteArray::fromStdString(drive)));
    const std::string current = driveOf(drives, QFile::encodeName(QDir::currentPath()).toStdString());
    setCurrentIndex(std::max(0, findText(QFile::decodeName(QByteArray::fromStdString(current)))));
    // Connected after the initial choice: only a later pick is a change.
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::driveChanged);
}

QString DriveList::drive() const
{
    return currentText();
}

} // namespace kestrane

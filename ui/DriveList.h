#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace kestrane {

// A drop-down list of drives, each shown by its mount point. It starts at the drive that holds
// the working directory.
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(const std::vector<std::string>& drives, QWidget* parent = nullptr);

    // The selected drive, in the form the directory list accepts as a path.
    QString drive() const;

signals:
    // Another drive was picked.
    void driveChanged();
};

} // namespace kestrane

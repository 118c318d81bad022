#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace kestrane {

// A drop-down list of drives, each shown by its mount point and kept as its bytes.
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget* parent = nullptr);

    // Offers these drives. The selected drive stays selected while it is offered; otherwise the
    // drive holding `folder` is selected. Neither is a change of drive.
    void setDrives(const std::vector<std::string>& drives, const QByteArray& folder);

    // The selected drive, in the form the directory list accepts as a path.
    QByteArray drive() const;

signals:
    // Another drive was picked.
    void driveChanged();
};

} // namespace kestrane

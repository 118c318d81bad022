#include "platform/Drives.h"
#include "tests/support/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <stdexcept>

using namespace kestrane;

using Mounts = std::vector<MountEntry>;
using Drives = std::vector<std::string>;

Q_DECLARE_METATYPE(Mounts)
Q_DECLARE_METATYPE(Drives)

namespace {

// A desktop's table, pseudo file systems and all.
const char* const desktopTable = "sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0\n"
                                 "proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0\n"
                                 "udev /dev devtmpfs rw,nosuid,relatime,size=8119796k,mode=755 0 0\n"
                                 "devpts /dev/pts devpts rw,nosuid,noexec,relatime,mode=620 0 0\n"
                                 "tmpfs /run tmpfs rw,nosuid,nodev,noexec,relatime,mode=755 0 0\n"
                                 "/dev/nvme0n1p2 / ext4 rw,relatime,errors=remount-ro 0 0\n"
                                 "cgroup2 /sys/fs/cgroup cgroup2 rw,nosuid,nodev,noexec,relatime 0 0\n"
                                 "/dev/nvme0n1p1 /boot/efi vfat rw,relatime,fmask=0077,dmask=0077 0 0\n"
                                 "/dev/nvme0n1p3 /home ext4 rw,relatime 0 0\n"
                                 "tmpfs /run/user/1000 tmpfs rw,nosuid,nodev,relatime,mode=700 0 0\n"
                                 "portal /run/user/1000/doc fuse.portal rw,nosuid,nodev,relatime 0 0\n"
                                 "/dev/loop3 /snap/core22/1033 squashfs ro,nodev,relatime 0 0\n"
                                 "/dev/sdb1 /media/ann/USB\\040STICK vfat rw,nosuid,nodev,relatime 0 0\n"
                                 "/dev/sdc1 /run/media/ann/Backup exfat rw,nosuid,nodev,relatime 0 0\n"
                                 "nas:/export /mnt/nas nfs4 rw,relatime 0 0\n";

} // namespace

class TestDrives : public QObject
{
    Q_OBJECT

private slots:
    void parsesAMountTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<Mounts>("expected");

        // Plain lines
        QTest::newRow("one line") << "/dev/sda1 / ext4 rw 0 0\n" << Mounts{{"/dev/sda1", "/", "ext4"}};
        QTest::newRow("no final newline") << "proc /proc proc rw 0 0" << Mounts{{"proc", "/proc", "proc"}};
        QTest::newRow("runs of blanks and tabs") << "  /dev/sda1 \t /home\text4  rw 0 0\n"
                                                 << Mounts{{"/dev/sda1", "/home", "ext4"}};
        QTest::newRow("two lines") << "a /x ext4 rw 0 0\nb /y vfat rw 0 0\n"
                                   << Mounts{{"a", "/x", "ext4"}, {"b", "/y", "vfat"}};
        // Octal escapes
        QTest::newRow("blank") << "/dev/sdb1 /media/USB\\040STICK vfat rw 0 0"
                               << Mounts{{"/dev/sdb1", "/media/USB STICK", "vfat"}};
        QTest::newRow("tab, newline, backslash") << "/dev/sdb1 /m/a\\011b\\012c\\134d vfat rw 0 0"
                                                 << Mounts{{"/dev/sdb1", "/m/a\tb\nc\\d", "vfat"}};
        QTest::newRow("escaped device")
            << "//srv/my\\040share /mnt/s cifs rw 0 0" << Mounts{{"//srv/my share", "/mnt/s", "cifs"}};
        QTest::newRow("incomplete escape kept") << "d /m\\04 ext4" << Mounts{{"d", "/m\\04", "ext4"}};
        QTest::newRow("non-octal escape kept") << "d /m\\089 ext4" << Mounts{{"d", "/m\\089", "ext4"}};
        // Nothing usable
        QTest::newRow("empty") << "" << Mounts{};
        QTest::newRow("blank lines") << "\n\n  \n" << Mounts{};
        QTest::newRow("short line skipped") << "d /m\nd /n ext4 rw\n" << Mounts{{"d", "/n", "ext4"}};
    }

    void parsesAMountTable()
    {
        QFETCH(QString, table);
        QFETCH(Mounts, expected);
        QCOMPARE(parseMountTable(table.toStdString()), expected);
    }

    void tellsStorageFromPseudoFileSystems_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("storage");

        for (const char* type :
             {"ext4", "xfs", "btrfs", "vfat", "exfat", "ntfs3", "fuseblk", "iso9660", "udf", "nfs4", "cifs"})
            QTest::newRow(type) << type << true;
        for (const char* type : {"proc", "sysfs", "cgroup", "cgroup2", "tmpfs", "devtmpfs", "devpts",
                                 "mqueue", "overlay", "squashfs", "fuse.portal", "autofs", "EXT4", ""})
            QTest::newRow(type[0] ? type : "empty") << type << false;
    }

    void tellsStorageFromPseudoFileSystems()
    {
        QFETCH(QString, type);
        QFETCH(bool, storage);
        QCOMPARE(isStorageType(type.toStdString()), storage);
    }

    void listsTheDrivesAPersonWouldPick_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<Drives>("expected");

        QTest::newRow("desktop") << desktopTable << Drives{"/",        "/boot/efi",
                                                           "/home",    "/media/ann/USB STICK",
                                                           "/mnt/nas", "/run/media/ann/Backup"};
        QTest::newRow("container root on overlay") << "overlay / overlay rw 0 0\nproc /proc proc rw 0 0\n"
                                                   << Drives{"/"};
        QTest::newRow("root missing from the table") << "/dev/sdb1 /data ext4 rw 0 0\n"
                                                     << Drives{"/", "/data"};
        QTest::newRow("mounted twice") << "/dev/sdb1 /data ext4 rw 0 0\n/dev/sdc1 /data xfs rw 0 0\n"
                                       << Drives{"/", "/data"};
        QTest::newRow("relative mount point ignored") << "/dev/sdb1 data ext4 rw 0 0\n" << Drives{"/"};
        QTest::newRow("empty table") << "" << Drives{"/"};
    }

    void listsTheDrivesAPersonWouldPick()
    {
        QFETCH(QString, table);
        QFETCH(Drives, expected);
        QCOMPARE(drivesFromMounts(parseMountTable(table.toStdString())), expected);
    }

    void findsTheDriveHoldingADirectory_data()
    {
        QTest::addColumn<Drives>("drives");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("expected");

        const Drives drives{"/", "/home", "/mnt", "/mnt/usb"};
        QTest::newRow("below a drive") << drives << "/home/ann/pictures"
                                       << "/home";
        QTest::newRow("the mount point itself") << drives << "/home"
                                                << "/home";
        QTest::newRow("prefix but not a component") << drives << "/homework"
                                                    << "/";
        QTest::newRow("nested mounts take the longest") << drives << "/mnt/usb/2024"
                                                        << "/mnt/usb";
        QTest::newRow("outer of nested mounts") << drives << "/mnt/usbstick"
                                                << "/mnt";
        QTest::newRow("the root") << drives << "/"
                                  << "/";
        QTest::newRow("on the root") << drives << "/tmp/x"
                                     << "/";
        QTest::newRow("no drive holds it") << Drives{"/home"} << "/tmp"
                                           << "";
        QTest::newRow("no drives") << Drives{} << "/tmp"
                                   << "";
    }

    void findsTheDriveHoldingADirectory()
    {
        QFETCH(Drives, drives);
        QFETCH(QString, directory);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(driveOf(drives, directory.toStdString())), expected);
    }

    void offersOnlyDrivesTheUserCanOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("offered");

        QTest::newRow("a folder to read and search") << "open" << true;
        QTest::newRow("no read permission (as /boot/efi often is)") << "unreadable" << false;
        QTest::newRow("no search permission") << "unsearchable" << false;
        QTest::newRow("a file bound into a container") << "file" << false;
        QTest::newRow("gone") << "gone" << false;
    }

    // As root every folder opens, so the user is an unprivileged one.
    void offersOnlyDrivesTheUserCanOpen()
    {
        QFETCH(QString, name);
        QFETCH(bool, offered);
        QTemporaryDir folder;
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
        const QString drive = folder.filePath(name);
        const QHash<QString, QFile::Permissions> kinds{
            {"open", QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther},
            {"unreadable", QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther},
            {"unsearchable", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther}};
        if (kinds.contains(name)) {
            QVERIFY(QDir().mkdir(drive));
            QVERIFY(QFile::setPermissions(drive, kinds[name]));
        } else if (name == "file") {
            QFile file(drive);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const testing::ChildOutcome outcome = testing::runInChild(
            [&] {
                if (openableDrives({"/", drive.toStdString()}).size() != (offered ? 2U : 1U))
                    throw std::runtime_error(offered ? "left out" : "offered");
            },
            testing::Privileges::Drop);
        QFile::setPermissions(drive, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(outcome.errorNumber == 0, outcome.description.c_str());
    }

    // This machine's own table: the root first, and only directories.
    void theSystemDrivesStartAtTheRoot()
    {
        const Drives drives = systemDrives();
        QVERIFY(!drives.empty());
        QCOMPARE(drives.front(), std::string("/"));
        for (const std::string& drive : drives)
            QVERIFY2(std::filesystem::is_directory(drive), drive.c_str());
    }
};

QTEST_GUILESS_MAIN(TestDrives)

#include "tst_drives.moc"

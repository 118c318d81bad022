#include "base/Error.h"
#include "platform/IniSettingsStore.h"
#include "settings/PlacementSettings.h"
#include "settings/TolerantSettingsStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fakes.h"
#include "tests/support/SmallFileSystem.h"
#include "tests/support/SystemCallFaults.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <optional>
#include <sys/syscall.h>
#include <unistd.h>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreGetsTheDefaultsReadAndWrittenInOrder()
    {
        RecordingSettingsStore store;
        const PlacementTexts texts = PlacementSettings(store).load();
        QCOMPARE(texts, (PlacementTexts{"612", "792", "55", "-60"}));
        const std::vector<std::string> expected{
            "Read Kestrane/Settings/DefaultWidth",  "Write Kestrane/Settings/DefaultWidth=612",
            "Read Kestrane/Settings/DefaultHeight", "Write Kestrane/Settings/DefaultHeight=792",
            "Read Kestrane/Settings/DefaultX",      "Write Kestrane/Settings/DefaultX=55",
            "Read Kestrane/Settings/DefaultY",      "Write Kestrane/Settings/DefaultY=-60",
        };
        QCOMPARE(store.calls, expected);
    }

    void loadKeepsTextsAndRoundsTheTopEdge_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");

        // halves go to the even neighbour
        QTest::newRow("12.5") << "12.5"
                              << "12";
        QTest::newRow("13.5") << "13.5"
                              << "14";
        QTest::newRow("-0.4") << "-0.4"
                              << "0";
        QTest::newRow("-2.5") << "-2.5"
                              << "-2";
        QTest::newRow("15.5 saved by a run") << "15.5"
                                             << "16";
        // rewritten in plain decimal
        QTest::newRow("-60") << "-60"
                             << "-60";
        QTest::newRow("7.0") << "7.0"
                             << "7";
        QTest::newRow("+7") << "+7"
                            << "7";
        QTest::newRow("exponent") << "1e2"
                                  << "100";
        // the edges of a 16-bit whole number
        QTest::newRow("largest") << "32767.4"
                                 << "32767";
        QTest::newRow("smallest") << "-32768.5"
                                  << "-32768";
        // what cannot be held falls back to the default instead of stopping every start
        QTest::newRow("rounds past the top") << "32767.5"
                                             << "-60";
        QTest::newRow("40000") << "40000"
                               << "-60";
        QTest::newRow("1e6") << "1e6"
                             << "-60";
        QTest::newRow("below the bottom") << "-32769"
                                          << "-60";
        QTest::newRow("not a number") << "abc"
                                      << "-60";
        QTest::newRow("empty") << ""
                               << "-60";
    }

    void loadKeepsTextsAndRoundsTheTopEdge()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        RecordingSettingsStore store;
        store.values = {{"Settings/DefaultWidth", "100.50"},
                        {"Settings/DefaultX", "abc"},
                        {"Settings/DefaultY", stored.toStdString()}};
        const PlacementTexts texts = PlacementSettings(store).load();
        QCOMPARE(texts.width, std::string("100.50"));
        QCOMPARE(texts.left, std::string("abc"));
        QCOMPARE(texts.top, shown.toStdString());
        QCOMPARE(store.value("DefaultWidth"), std::string("100.50"));
        QCOMPARE(store.value("DefaultX"), std::string("abc"));
        QCOMPARE(store.value("DefaultY"), shown.toStdString());
    }

    void saveWritesAllFourAsTyped()
    {
        RecordingSettingsStore store;
        PlacementSettings(store).save({"55.50", "792", "-0", "15.5"});
        const std::vector<std::string> expected{
            "Write Kestrane/Settings/DefaultWidth=55.50",
            "Write Kestrane/Settings/DefaultHeight=792",
            "Write Kestrane/Settings/DefaultX=-0",
            "Write Kestrane/Settings/DefaultY=15.5",
        };
        QCOMPARE(store.calls, expected);
    }

    void saveValidPairsJudgesEachPair_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("stored");

        const QStringList earlier{"1", "2", "3", "4"};
        QTest::newRow("invalid size, valid position")
            << QStringList{"0", "792", "10", "20"} << QStringList{"1", "2", "10", "20"};
        QTest::newRow("valid size, invalid position")
            << QStringList{"612", "792", "", "20"} << QStringList{"612", "792", "3", "4"};
        QTest::newRow("all invalid") << QStringList{"x", "", "y", ""} << earlier;
        QTest::newRow("all valid") << QStringList{"55.50", "1e3", "-2.5", "-60"}
                                   << QStringList{"55.50", "1e3", "-2.5", "-60"};
    }

    void saveValidPairsJudgesEachPair()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, stored);
        RecordingSettingsStore store;
        store.values = {{"Settings/DefaultWidth", "1"},
                        {"Settings/DefaultHeight", "2"},
                        {"Settings/DefaultX", "3"},
                        {"Settings/DefaultY", "4"}};
        PlacementSettings(store).saveValidPairs({fields[0].toStdString(), fields[1].toStdString(),
                                                 fields[2].toStdString(), fields[3].toStdString()});
        const QStringList actual{QString::fromStdString(store.value("DefaultWidth")),
                                 QString::fromStdString(store.value("DefaultHeight")),
                                 QString::fromStdString(store.value("DefaultX")),
                                 QString::fromStdString(store.value("DefaultY"))};
        QCOMPARE(actual, stored);
    }

    void iniStoreHandsBackExactlyTheTextWritten_data()
    {
        QTest::addColumn<QString>("text");

        QTest::newRow("comma") << "1,5";
        QTest::newRow("quotes") << "\"612\"";
        QTest::newRow("backslashes") << "a\\b\\\\c\\";
        QTest::newRow("equals") << "a=b";
        QTest::newRow("semicolon") << ";x";
        QTest::newRow("hash") << "#y";
        QTest::newRow("leading at") << "@Variant(abc)";
        QTest::newRow("brackets") << "[Settings]";
        QTest::newRow("non-ASCII") << QString::fromUtf8("ünï€");
        QTest::newRow("empty") << "";
    }

    void iniStoreHandsBackExactlyTheTextWritten()
    {
        QFETCH(QString, text);
        QTemporaryDir folder;
        IniSettingsStore store(folder.path());
        store.Write("Kestrane", "Settings", "DefaultX", text.toStdString());
        store.Write("Kestrane", "Settings", "DefaultY", "-60");
        QCOMPARE(QString::fromStdString(store.Read("Kestrane", "Settings", "DefaultX", 55)), text);
        QCOMPARE(store.Read("Kestrane", "Settings", "DefaultY", 0), std::string("-60"));
    }

    // As INI readers do: blanks around a value are not part of it; quotes and the rest are.
    void iniStoreReadsAHandEditedFileTrimmingBlanks()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("Kestrane"));
        writeFile(folder.filePath("Kestrane/Kestrane.ini"),
                  "; edited by hand\r\n[Settings]\r\nDefaultX = 1,5 \r\nDefaultWidth=\t\"7\"\r\ngarbage\r\n"
                  "DefaultHeight=@Variant(\\0\\0)\r\n\xff\xfe=\x01\nDefaultY = 7\n");
        IniSettingsStore store(folder.path());
        QCOMPARE(store.Read("Kestrane", "Settings", "DefaultX", 55), std::string("1,5"));
        QCOMPARE(store.Read("Kestrane", "Settings", "DefaultWidth", 612), std::string("\"7\""));
        QCOMPARE(store.Read("Kestrane", "Settings", "DefaultHeight", 792), std::string("@Variant(\\0\\0)"));
        QCOMPARE(PlacementSettings(store).load().top, std::string("7"));
    }

    void loadEndsLinesAtEveryLineBreak_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("loaded");

        // found by fuzzing: a lone CR inside a value could not be written back, stopping every start
        QTest::newRow("lone CR inside a value") << QByteArray("[Settings]\nDefaultWidth=\"7\"\raba\n")
                                                << QStringList{"\"7\"", "792", "55", "-60"};
        QTest::newRow("CR at the end of the file")
            << QByteArray("[Settings]\nDefaultX=12\r") << QStringList{"612", "792", "12", "-60"};
        QTest::newRow("CR CR LF") << QByteArray("[Settings]\r\nDefaultX=12\r\r\n")
                                  << QStringList{"612", "792", "12", "-60"};
        QTest::newRow("CR line ends only") << QByteArray("[Settings]\rDefaultHeight=5\rDefaultY=2.5\r")
                                           << QStringList{"612", "5", "55", "2"};
        QTest::newRow("CR LF line ends") << QByteArray("[Settings]\r\nDefaultHeight=5\r\nDefaultY=2.5\r\n")
                                         << QStringList{"612", "5", "55", "2"};
    }

    // The load at start-up writes each value back, so the values it reads never hold a line break.
    void loadEndsLinesAtEveryLineBreak()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, loaded);
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("Kestrane"));
        writeFile(folder.filePath("Kestrane/Kestrane.ini"), file);
        IniSettingsStore store(folder.path());
        const PlacementTexts expected{loaded[0].toStdString(), loaded[1].toStdString(),
                                      loaded[2].toStdString(), loaded[3].toStdString()};
        QCOMPARE(PlacementSettings(store).load(), expected);
        QCOMPARE(PlacementSettings(store).load(), expected);
    }

    void iniStoreRefusesWhatItCannotKeep()
    {
        QTemporaryDir folder;
        IniSettingsStore store(folder.path());
        try {
            store.Write("Kestrane", "Settings", "DefaultX", "1\n[Other]");
            QFAIL("a line break was written");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::SettingsUnwritable);
        }
    }

    void aStoreThatCannotBeUsedLeavesTheProgramWorking_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QStringList>("loaded");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("kept");

        const QStringList stored{"640", "792", "55", "-60"};
        const QStringList defaults{"612", "792", "55", "-60"};
        const QByteArray old = "[Settings]\nDefaultWidth=640\n";
        QTest::newRow("a file where its folder should be")
            << "file for folder" << defaults << "Not a directory" << old;
        QTest::newRow("a folder the user may not write")
            << "read-only folder" << stored << "Permission denied" << old;
        QTest::newRow("a file of another user") << "foreign file" << stored << "Permission denied" << old;
        QTest::newRow("a file the user may not read")
            << "unreadable file" << defaults << "Permission denied" << old;
        QTest::newRow("a full disk") << "full disk" << stored << "No space left on device" << old;
        // The first new file is in place, but not known to survive a power cut: nothing more is written.
        QTest::newRow("a folder that cannot be flushed after the rename")
            << "folder flush fails" << stored << "Input/output error"
            << QByteArray("[Settings]\nDefaultHeight=792\nDefaultWidth=640\n");
    }

    // As an unprivileged user, as root may write anything: the start-up load, a conversion's
    // save and Exit's all go on, the user is told once why nothing is saved, and the file stays
    // as it was or as the failing write left it.
    void aStoreThatCannotBeUsedLeavesTheProgramWorking()
    {
        QFETCH(QString, obstacle);
        QFETCH(QStringList, loaded);
        QFETCH(QString, reason);
        QFETCH(QByteArray, kept);
        QTemporaryDir folder;
        std::optional<SmallFileSystem> disk;
        if (obstacle == "full disk") {
            disk.emplace(folder.path());
            if (disk->error != 0) {
                const QString why =
                    "no tmpfs can be mounted here: " + QString::fromUtf8(std::strerror(disk->error));
                // CI runs as root and must try the real thing; a developer's own account may not.
                if (qEnvironmentVariableIsSet("CI"))
                    QFAIL(qPrintable(why));
                QSKIP(qPrintable(why));
            }
        }
        const QString kestrane = folder.filePath("Kestrane");
        const QString ini = kestrane + "/Kestrane.ini";
        const QByteArray old = "[Settings]\nDefaultWidth=640\n";
        if (obstacle != "file for folder")
            QVERIFY(QDir(folder.path()).mkdir("Kestrane"));
        writeFile(obstacle == "file for folder" ? kestrane : ini, old);
        if (obstacle == "full disk") {
            QFile filler(folder.filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (filler.write(QByteArray(4096, 'x')) == 4096) {
            }
        }
        // The user owns the store, as a user's own settings are, but for another user's file.
        if (::geteuid() == 0)
            for (const QString& path : {folder.path(), kestrane, ini})
                if (QFileInfo::exists(path) && !(obstacle == "foreign file" && path == ini))
                    QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        if (obstacle == "read-only folder")
            QVERIFY(QFile::setPermissions(kestrane, QFile::ReadOwner | QFile::ExeOwner));
        if (obstacle == "foreign file" && ::geteuid() != 0)
            QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner));
        if (obstacle == "unreadable file")
            QVERIFY(QFile::setPermissions(ini, QFile::WriteOwner));

        const ChildOutcome outcome = runInChild(
            [&] {
                // The file itself is flushed with fdatasync, so only the folder's flush fails.
                if (obstacle == "folder flush fails")
                    failSystemCalls({SYS_fsync}, EIO);
                RecordingMessageBox messageBox;
                IniSettingsStore file(folder.path());
                TolerantSettingsStore store(file, messageBox);
                PlacementSettings settings(store);
                const PlacementTexts texts = settings.load();
                settings.save({"1", "2", "3", "4"});
                settings.saveValidPairs({"1", "2", "3", "4"});
                const QStringList got{QString::fromStdString(texts.width),
                                      QString::fromStdString(texts.height),
                                      QString::fromStdString(texts.left), QString::fromStdString(texts.top)};
                if (got != loaded)
                    throw Error(ErrorCode::Unexpected, "loaded " + got.join(' ').toStdString());
                if (messageBox.texts.size() != 1 ||
                    !messageBox.texts[0].ends_with("Kestrane.ini (" + reason.toStdString() + ")")) {
                    std::string told = "told " + std::to_string(messageBox.texts.size()) + " times";
                    for (const std::string& text : messageBox.texts)
                        told += "\n" + text;
                    throw Error(ErrorCode::Unexpected, told);
                }
            },
            obstacle == "full disk" ? Privileges::Keep : Privileges::Drop);
        QFile::setPermissions(kestrane, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY2(outcome.errorNumber == 0, outcome.description.c_str());
        QFile file(obstacle == "file for folder" ? kestrane : ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kept);
        if (obstacle != "file for folder")
            QCOMPARE(QDir(kestrane).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList{"Kestrane.ini"});
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"

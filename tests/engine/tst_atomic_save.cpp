#include "base/Error.h"
#include "engine/AtomicSave.h"
#include "engine/Engine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestPictures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrane;

namespace {

const QByteArray oldContent("the earlier file, which must survive\n");

// A JPEG header followed by `size` bytes of filler: enough for the engine, which reads headers.
QByteArray bigJpeg(int size)
{
    return QByteArray("\xFF\xD8\xFF\xC0\0\x11\x08\0\x1e\0\x28\3\1\x11\0\2\x11\0\3\x11\0", 21) +
           QByteArray(size, 'x');
}

mode_t modeOf(const QString& path)
{
    struct stat status;
    return ::stat(path.toUtf8().constData(), &status) == 0 ? status.st_mode & 07777 : mode_t(-1);
}

void writeBytes(presentation::ByteSink& sink, const QByteArray& bytes)
{
    sink.write(bytes.constData(), std::size_t(bytes.size()));
}

// What a save does around its writer.
void saveAtomically(const QString& path, const std::function<void(presentation::ByteSink&)>& write)
{
    presentation::AtomicFile file(path.toStdString());
    write(file);
    file.commit();
}

} // namespace

class TestAtomicSave : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_target;

    QString picture(int number) const
    {
        return m_dir->filePath(QStringLiteral("pictures/image%1.jpg").arg(number));
    }

    // Builds a three-slide presentation from the pictures, kept in their own folder, and saves it.
    void saveDeck(const QString& target, const char* left = "55")
    {
        auto app = presentation::startApplication();
        auto pres = app->Presentations().Add();
        for (int i = 1; i <= 3; ++i) {
            pres->Slides()
                .Add(i, automation::ppLayoutBlank)
                ->Shapes()
                .AddPicture(picture(i).toStdString(), automation::msoFalse, automation::msoTrue, left, "-60",
                            "612", "792");
        }
        pres->SaveAs(target.toStdString());
        app->Quit();
    }

    QStringList folderEntries() const
    {
        return QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("pictures")));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
        m_folder = m_dir->filePath(QStringLiteral("out"));
        m_target = m_folder + QStringLiteral("/deck.pptx");
        testing::writeFileBytes(m_target, oldContent);
        for (int i = 1; i <= 3; ++i)
            testing::writeFileBytes(picture(i), bigJpeg(20000 * i));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("disk full (file size limit)") << "fsize" << 401 << "File too large";
        QTest::newRow("writer fails midway") << "writer" << 401 << "test failure";
        QTest::newRow("no permission in the folder") << "permission" << 401 << "Permission denied";
        QTest::newRow("target is a folder") << "folder target" << 402 << "is a folder";
        QTest::newRow("folder does not exist") << "no folder" << 401 << "No such file or directory";
        QTest::newRow("folder removed while writing")
            << "folder removed" << 401 << "No such file or directory";
        QTest::newRow("placement beyond the binary format")
            << "ppt limits" << 403 << "save under a name ending in .pptx";
    }

    // Whatever fails, the target holds what it held before and no temporary file is left.
    void failures()
    {
        QFETCH(QString, failure);
        QFETCH(int, error);
        QFETCH(QString, message);
        QString target = m_target;
        testing::ChildOutcome outcome;
        if (failure == "fsize") {
            outcome = testing::runInChild([&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{16384, 16384};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                saveDeck(target);
            });
        } else if (failure == "writer") {
            outcome = testing::runInChild([&] {
                saveAtomically(target, [](presentation::ByteSink& sink) {
                    writeBytes(sink, QByteArray(3 << 20, 'n'));
                    throw Error(ErrorCode::SaveFailed, "test failure");
                });
            });
        } else if (failure == "permission") {
            QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ExeOwner | QFile::ReadOther |
                                                             QFile::ExeOther));
            QVERIFY(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                        QFile::ExeOther));
            outcome = testing::runInChild(
                [&] {
                    saveAtomically(target, [](presentation::ByteSink& sink) { writeBytes(sink, "new"); });
                },
                testing::Privileges::Drop);
            QVERIFY(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        } else if (failure == "folder target") {
            QVERIFY(QDir(m_folder).mkdir(QStringLiteral("sub.pptx")));
            target = m_folder + QStringLiteral("/sub.pptx");
            outcome = testing::runInChild([&] { saveDeck(target); });
            QVERIFY(QFileInfo(target).isDir());
        } else if (failure == "no folder") {
            target = m_folder + QStringLiteral("/missing/deck.pptx");
            outcome = testing::runInChild([&] { saveDeck(target); });
        } else if (failure == "folder removed") {
            const QString other = m_dir->filePath(QStringLiteral("doomed"));
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("doomed")));
            target = other + QStringLiteral("/deck.pptx");
            outcome = testing::runInChild([&] {
                saveAtomically(target, [&](presentation::ByteSink& sink) {
                    writeBytes(sink, QByteArray(2 << 20, 'r'));
                    QDir(other).removeRecursively();
                    writeBytes(sink, QByteArray(2 << 20, 'r'));
                });
            });
            QVERIFY(!QFileInfo::exists(other));
        } else if (failure == "ppt limits") {
            target = m_folder + QStringLiteral("/deck.ppt");
            testing::writeFileBytes(target, oldContent);
            outcome = testing::runInChild([&] { saveDeck(target, "5000"); });
        }
        if (error != 0)
            QCOMPARE(outcome.errorNumber, error);
        QVERIFY2(QString::fromStdString(outcome.description).contains(message), outcome.description.c_str());
        QCOMPARE(testing::readFileBytes(m_target), oldContent);
        if (failure == "ppt limits")
            QCOMPARE(testing::readFileBytes(target), oldContent);
        const QStringList expected = failure == "folder target" ? QStringList{"deck.pptx", "sub.pptx"}
                                     : failure == "ppt limits"  ? QStringList{"deck.ppt", "deck.pptx"}
                                                                : QStringList{"deck.pptx"};
        QCOMPARE(folderEntries(), expected);
    }

    // The content goes to a hidden file beside the target, which appears only when complete.
    void writesBesideTheTarget()
    {
        QStringList during;
        QByteArray targetDuring;
        saveAtomically(m_target, [&](presentation::ByteSink& sink) {
            writeBytes(sink, "new content");
            during = folderEntries();
            targetDuring = testing::readFileBytes(m_target);
        });
        QCOMPARE(during.size(), 2);
        QVERIFY2(during.at(0).startsWith(QStringLiteral(".deck.pptx.")), qPrintable(during.join(u' ')));
        QCOMPARE(targetDuring, oldContent);
        QCOMPARE(testing::readFileBytes(m_target), QByteArray("new content"));
        QCOMPARE(folderEntries(), QStringList{"deck.pptx"});
    }

    // Seeks land where a file's would: writers rewrite headers after the data.
    void seekAndPosition()
    {
        saveAtomically(m_target, [](presentation::ByteSink& sink) {
            writeBytes(sink, QByteArray(3 << 20, 'a'));
            QCOMPARE(sink.position(), std::uint64_t(3 << 20));
            sink.seek(2);
            writeBytes(sink, "XY");
            QCOMPARE(sink.position(), std::uint64_t(4));
            sink.seek(std::uint64_t(3 << 20));
            writeBytes(sink, "end");
        });
        const QByteArray saved = testing::readFileBytes(m_target);
        QCOMPARE(saved.size(), (3 << 20) + 3);
        QCOMPARE(saved.left(5), QByteArray("aaXYa"));
        QVERIFY(saved.endsWith("aend"));
    }

    void permissions_data()
    {
        QTest::addColumn<int>("existingMode");
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("expected");
        // a replaced file keeps its bits, whatever the umask
        QTest::newRow("replaced 0640") << 0640 << 022 << 0640;
        QTest::newRow("replaced 0604") << 0604 << 077 << 0604;
        // a new file gets 0666 less the umask
        QTest::newRow("new, umask 022") << -1 << 022 << 0644;
        QTest::newRow("new, umask 027") << -1 << 027 << 0640;
        QTest::newRow("new, umask 0") << -1 << 0 << 0666;
    }

    void permissions()
    {
        QFETCH(int, existingMode);
        QFETCH(int, umask);
        QFETCH(int, expected);
        if (existingMode < 0)
            QVERIFY(QFile::remove(m_target));
        else
            QCOMPARE(::chmod(m_target.toUtf8().constData(), mode_t(existingMode)), 0);
        const auto outcome = testing::runInChild([&] {
            ::umask(mode_t(umask));
            saveDeck(m_target);
        });
        QVERIFY2(outcome.errorNumber == 0, outcome.description.c_str());
        QCOMPARE(int(modeOf(m_target)), expected);
        QVERIFY(testing::readFileBytes(m_target).startsWith("PK"));
    }

    void whatStandsAtTheTarget_data()
    {
        QTest::addColumn<QString>("standing");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("written");

        // a read-only file: refused as a direct write would be, which root's is not
        QTest::newRow("read-only, its owner") << "read-only" << 401 << "";
        QTest::newRow("read-only, root") << "read-only as root" << 0 << "out/deck.pptx";
        // a symbolic link: the file it names is replaced in its own folder, and the link stays
        QTest::newRow("link into another folder") << "link" << 0 << "real/deck.pptx";
        QTest::newRow("relative link to a relative link") << "link to link" << 0 << "real/deck.pptx";
        QTest::newRow("dangling link") << "dangling" << 0 << "real/new.pptx";
    }

    void whatStandsAtTheTarget()
    {
        QFETCH(QString, standing);
        QFETCH(int, error);
        QFETCH(QString, written);
        const QString real = m_dir->filePath(QStringLiteral("real"));
        QVERIFY(QDir().mkdir(real));
        testing::writeFileBytes(real + QStringLiteral("/deck.pptx"), oldContent);
        QString link;
        auto privileges = testing::Privileges::Keep;
        if (standing == "read-only as root" && ::geteuid() != 0)
            QSKIP("only root may write a read-only file");
        if (standing == "read-only") {
            privileges = testing::Privileges::Drop;
            // The dropped user's own folder and file, as root runs the suite.
            if (::geteuid() == 0) {
                QCOMPARE(::chmod(m_dir->path().toUtf8().constData(), 0755), 0);
                QCOMPARE(::chown(m_folder.toUtf8().constData(), 65534, 65534), 0);
                QCOMPARE(::chown(m_target.toUtf8().constData(), 65534, 65534), 0);
            }
        }
        if (standing.startsWith(QStringLiteral("read-only")))
            QCOMPARE(::chmod(m_target.toUtf8().constData(), 0444), 0);
        else
            QVERIFY(QFile::remove(m_target));
        if (standing == "link" || standing == "dangling")
            link = real + (standing == "link" ? QStringLiteral("/deck.pptx") : QStringLiteral("/new.pptx"));
        if (standing == "link to link") {
            link = QStringLiteral("../real/hop.pptx");
            QCOMPARE(::symlink("deck.pptx", (real + QStringLiteral("/hop.pptx")).toUtf8().constData()), 0);
        }
        if (!link.isEmpty())
            QCOMPARE(::symlink(link.toUtf8().constData(), m_target.toUtf8().constData()), 0);

        const auto outcome = testing::runInChild(
            [&] { saveAtomically(m_target, [](presentation::ByteSink& sink) { writeBytes(sink, "new"); }); },
            privileges);
        QCOMPARE(outcome.errorNumber, error);
        if (error != 0) {
            QVERIFY2(QString::fromStdString(outcome.description).contains("Permission denied"),
                     outcome.description.c_str());
            QCOMPARE(testing::readFileBytes(m_target), oldContent);
        } else {
            QCOMPARE(testing::readFileBytes(m_dir->filePath(written)), QByteArray("new"));
        }
        if (!link.isEmpty())
            QCOMPARE(QFile::symLinkTarget(m_target),
                     link.startsWith('/') ? link : QDir::cleanPath(m_folder + '/' + link));
        QCOMPARE(folderEntries(), QStringList{"deck.pptx"});
        const QStringList expectedReal = standing == "dangling"       ? QStringList{"deck.pptx", "new.pptx"}
                                         : standing == "link to link" ? QStringList{"deck.pptx", "hop.pptx"}
                                                                      : QStringList{"deck.pptx"};
        QCOMPARE(QDir(real).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 expectedReal);
        if (standing == "link to link")
            QVERIFY(QFileInfo(real + QStringLiteral("/hop.pptx")).isSymLink());
        if (standing.startsWith(QStringLiteral("read-only")))
            QCOMPARE(int(modeOf(m_target)), 0444);
    }

    void targetNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("long name") << QString(240, u'n') + QStringLiteral(".pptx");
        QTest::newRow("non-ascii") << QString::fromUtf8("Pr\xC3\xA4sentation \xE5\x86\x99.pptx");
        QTest::newRow("hidden") << QStringLiteral(".deck.pptx");
    }

    void targetNames()
    {
        QFETCH(QString, name);
        const QString target = m_folder + u'/' + name;
        saveDeck(target);
        QVERIFY(testing::readFileBytes(target).startsWith("PK"));
        QCOMPARE(folderEntries().size(), 2);
    }

    void invalidNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("trailing slash") << QStringLiteral("/tmp/");
        QTest::newRow("dot dot") << QStringLiteral("/tmp/..");
    }

    void invalidNames()
    {
        QFETCH(QString, name);
        try {
            saveAtomically(name, [](presentation::ByteSink&) {});
            QFAIL("an invalid name was accepted");
        } catch (const Error& error) {
            QCOMPARE(error.number(), 402);
        }
    }
};

QTEST_GUILESS_MAIN(TestAtomicSave)
#include "tst_atomic_save.moc"

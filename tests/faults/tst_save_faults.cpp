#include "base/Error.h"
#include "conversion/ConversionRun.h"
#include "engine/AtomicSave.h"
#include "platform/FatalError.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fakes.h"
#include "tests/support/MemoryPicture.h"
#include "tests/support/Sinks.h"
#include "tests/support/SmallFileSystem.h"
#include "tests/support/SystemCallFaults.h"
#include "tests/support/TestPictures.h"
#include "tests/support/Writers.h"
#include "ui/EngineObjectFactory.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

const QByteArray oldContent("the presentation saved before, which must survive\n");

// Counts the bytes written, rewritten ones included, so a limit at the total just fits.
class CountingSink : public MemorySink
{
public:
    void write(const void* data, std::size_t size) override
    {
        written += size;
        MemorySink::write(data, size);
    }

    std::uint64_t written = 0;
};

std::uint64_t littleEndian(const std::vector<unsigned char>& bytes, std::size_t at, int size)
{
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes.at(at + std::size_t(i));
    return value;
}

// Where each part of a zip package starts: every entry's local header and data, the central
// directory and its end record.
std::set<std::uint64_t> zipParts(const std::vector<unsigned char>& zip)
{
    std::size_t end = zip.size() - 22;
    while (littleEndian(zip, end, 4) != 0x06054b50)
        --end;
    std::set<std::uint64_t> parts{end};
    std::size_t entry = littleEndian(zip, end + 16, 4);
    parts.insert(entry);
    for (std::uint64_t i = 0, count = littleEndian(zip, end + 10, 2); i < count; ++i) {
        const std::size_t local = littleEndian(zip, entry + 42, 4);
        parts.insert(local);
        parts.insert(local + 30 + littleEndian(zip, local + 26, 2) + littleEndian(zip, local + 28, 2));
        entry += 46 + littleEndian(zip, entry + 28, 2) + littleEndian(zip, entry + 30, 2) +
                 littleEndian(zip, entry + 32, 2);
    }
    return parts;
}

// Where each part of a compound file (512-byte sectors) starts: the first sector after the header,
// the allocation tables, the directory, the mini stream and every stream kept in sectors of its own.
std::set<std::uint64_t> compoundFileParts(const std::vector<unsigned char>& file)
{
    const auto sectorStart = [](std::uint64_t sector) { return (sector + 1) * 512; };
    std::set<std::uint64_t> parts{512, sectorStart(littleEndian(file, 0x30, 4))};
    for (std::uint64_t i = 0, count = littleEndian(file, 0x2C, 4); i < count && i < 109; ++i)
        parts.insert(sectorStart(littleEndian(file, 0x4C + 4 * i, 4)));
    if (littleEndian(file, 0x40, 4) > 0)
        parts.insert(sectorStart(littleEndian(file, 0x3C, 4)));
    const std::uint64_t miniCutoff = littleEndian(file, 0x38, 4);
    for (std::size_t entry = sectorStart(littleEndian(file, 0x30, 4));
         entry + 128 <= file.size() && file[entry + 0x42] != 0; entry += 128) {
        const unsigned type = file[entry + 0x42];
        const std::uint64_t size = littleEndian(file, entry + 0x78, 4);
        // The root holds the mini stream; small streams live inside it.
        if (size > 0 && (type == 5 || (type == 2 && size >= miniCutoff)))
            parts.insert(sectorStart(littleEndian(file, entry + 0x74, 4)));
    }
    return parts;
}

// Passes the first `limit` bytes on to the file being saved, then fails as a full disk does: what
// fits is written, the rest is refused with the error the real file would give.
class FullDiskSink : public presentation::ByteSink
{
public:
    FullDiskSink(presentation::ByteSink& file, std::uint64_t limit, std::string target)
        : m_file(file), m_limit(limit), m_target(std::move(target))
    {
    }

    void write(const void* data, std::size_t size) override
    {
        if (size > m_limit - m_written) {
            m_file.write(data, std::size_t(m_limit - m_written));
            m_written = m_limit;
            throw Error(ErrorCode::SaveFailed, m_target, ENOSPC);
        }
        m_file.write(data, size);
        m_written += size;
    }
    void seek(std::uint64_t position) override { m_file.seek(position); }
    std::uint64_t position() const override { return m_file.position(); }

private:
    presentation::ByteSink& m_file;
    std::uint64_t m_limit;
    std::uint64_t m_written = 0;
    std::string m_target;
};

// The main window as the conversion sees it: the default placement, and a chooser that picks the
// picture folder.
class PictureFolderWindow : public ConversionWindow
{
public:
    explicit PictureFolderWindow(std::string folder) : m_folder(std::move(folder)) {}

    std::string fieldText(PlacementField field) override
    {
        static const char* const texts[] = {"612", "792", "55", "-60"};
        return texts[static_cast<int>(field)];
    }
    std::string imageDirectory() override { return m_imagedir; }
    void setImageDirectory(const std::string& directory) override { m_imagedir = directory; }
    void showDirectoryChooser() override { m_imagedir = m_folder; }

private:
    std::string m_folder;
    std::string m_imagedir;
};

// Answers with the target, and does something to the files while it is open: the pictures are in
// the presentation by then, the target is not yet written.
class MeddlingSaveDialog : public RecordingSaveDialog
{
public:
    void ShowSave() override
    {
        RecordingSaveDialog::ShowSave();
        whileShown();
    }

    std::function<void()> whileShown;
};

enum class Fault
{
    // the file layer fails
    FileSystemFull,
    FileSizeLimit,
    WriteFailsNoSpace,
    WriteFailsIo,
    FlushFailsIo,
    RenameFailsIo,
    FolderFlushFailsIo,
    FolderFlushUnsupported,
    // the source pictures change after they were added
    PictureDeleted,
    PictureReplaced,
    PictureRewrittenLarger,
    PictureRewrittenSameSize,
    PictureRewrittenSameSecond,
    PictureTruncated,
    // the target folder goes
    FolderRemoved,
};

// Every file and folder below `root`, hidden ones included, by relative path.
QStringList everythingUnder(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

// A picture made long ago: a rewrite now changes its modification time, however fast it comes.
void writeOldFile(const QString& path, const QByteArray& bytes)
{
    writeFileBytes(path, bytes);
    const timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, path.toUtf8().constData(), times, 0), 0);
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestSaveFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_images;
    // A baseline JPEG, a PNG and a progressive JPEG, as ImageMagick made them.
    QList<QByteArray> m_imageBytes;
    presentation::Deck m_smallDeck;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_pictures;
    QString m_out;
    // What image1.jpg ... image3.jpg hold: an image and enough filler for the deck to pass 1 MiB.
    QList<QByteArray> m_pictureBytes;

    QString target(const QString& format) const { return m_out + QStringLiteral("/deck.") + format; }

    // Writes the small deck once and returns where its parts start, then the number of bytes
    // written in all. The file is written front to back, so a part's position is also the count
    // of bytes written before it.
    std::vector<std::uint64_t> boundaries(const QString& format) const
    {
        CountingSink sink;
        writer(format.toStdString()).write(m_smallDeck, sink);
        const std::set<std::uint64_t> parts =
            format == u"pptx" ? zipParts(sink.bytes()) : compoundFileParts(sink.bytes());
        std::vector<std::uint64_t> places(parts.begin(), parts.end());
        // The end of the file, before any header is rewritten.
        places.push_back(sink.bytes().size());
        places.push_back(sink.written);
        std::sort(places.begin(), places.end());
        return places;
    }

private slots:
    void initTestCase()
    {
        const TestImage kinds[] = {TestImage::Baseline, TestImage::Png, TestImage::Progressive};
        for (int i = 0; i < 3; ++i)
            m_imageBytes << makeTestImage(m_images.filePath(QString::number(i)), kinds[i], i + 1);
        const presentation::PictureFormat formats[] = {presentation::PictureFormat::Jpeg,
                                                       presentation::PictureFormat::Png,
                                                       presentation::PictureFormat::Jpeg};
        std::vector<std::shared_ptr<const presentation::Picture>> pictures;
        for (int i = 0; i < 3; ++i) {
            pictures.push_back(std::make_shared<MemoryPicture>("image" + std::to_string(i + 1) + ".jpg",
                                                               formats[i], m_imageBytes[i].toStdString()));
        }
        // The first picture twice: a shared picture entry in both formats.
        for (const auto& picture : {pictures[0], pictures[1], pictures[2], pictures[0]})
            m_smallDeck.slides.push_back({{{picture, {55, -60, 612, 792}}}});
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("pictures")));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
        m_pictures = m_dir->filePath(QStringLiteral("pictures"));
        m_out = m_dir->filePath(QStringLiteral("out"));
        m_pictureBytes.clear();
        for (int i = 0; i < 3; ++i) {
            m_pictureBytes << m_imageBytes[i] + noise(400000, quint32(i));
            writeOldFile(m_pictures + QStringLiteral("/image%1.jpg").arg(i + 1), m_pictureBytes[i]);
        }
    }

    void cleanup() { m_dir.reset(); }

    void sinkFailsAtEveryBoundary_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<qulonglong>("limit");
        for (const char* name : formatNames) {
            const QString format = name;
            const std::vector<std::uint64_t> places = boundaries(format);
            std::set<std::uint64_t> limits;
            // The last place is the whole file: one byte short of it must fail too.
            for (std::uint64_t place : places)
                for (std::uint64_t limit : {place - 1, place, place + 1})
                    if (place > 0 && limit < places.back())
                        limits.insert(limit);
            limits.insert(0);
            for (std::uint64_t limit : limits)
                QTest::addRow("%s, after %llu bytes", name, qulonglong(limit)) << format << qulonglong(limit);
        }
    }

    // The disk fills up at or beside each place where a piece of the file starts: the user is told
    // the number and the reason, the earlier file stays as it was, and nothing else is left behind.
    void sinkFailsAtEveryBoundary()
    {
        QFETCH(QString, format);
        QFETCH(qulonglong, limit);
        const QString path = target(format);
        writeFileBytes(path, oldContent);
        RecordingMessageBox messageBox;
        RecordingProgramEnd programEnd;
        runReportingFailures(messageBox, programEnd, [&] {
            presentation::AtomicFile file(path.toStdString());
            FullDiskSink sink(file, limit, path.toStdString());
            writer(format.toStdString()).write(m_smallDeck, sink);
            file.commit();
        });
        const std::vector<std::string> expected{
            reportText(Error(ErrorCode::SaveFailed, path.toStdString(), ENOSPC))};
        QCOMPARE(messageBox.texts, expected);
        QCOMPARE(programEnd.statuses, std::vector<int>{fatalExitStatus});
        QCOMPARE(readFileBytes(path), oldContent);
        QCOMPARE(everythingUnder(m_out), QStringList{"deck." + format});
    }

    void sinkWithRoomSavesTheWholeFile_data()
    {
        QTest::addColumn<QString>("format");
        for (const char* name : formatNames)
            QTest::newRow(name) << QString(name);
    }

    // The counterpart of the rows above: with exactly enough room the save succeeds and the file
    // holds what the writer produced.
    void sinkWithRoomSavesTheWholeFile()
    {
        QFETCH(QString, format);
        const QString path = target(format);
        writeFileBytes(path, oldContent);
        CountingSink recorded;
        writer(format.toStdString()).write(m_smallDeck, recorded);
        presentation::AtomicFile file(path.toStdString());
        FullDiskSink sink(file, recorded.written, path.toStdString());
        writer(format.toStdString()).write(m_smallDeck, sink);
        file.commit();
        QCOMPARE(readFileBytes(path), QByteArray(reinterpret_cast<const char*>(recorded.bytes().data()),
                                                 qsizetype(recorded.bytes().size())));
        QCOMPARE(everythingUnder(m_out), QStringList{"deck." + format});
    }

    void conversionFaults_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("osError");
        for (const char* name : formatNames) {
            const QString format = name;
            auto row = [&](const char* what, Fault fault, ErrorCode error, int osError) {
                QTest::addRow("%s: %s", name, what) << format << fault << static_cast<int>(error) << osError;
            };
            // the file layer fails
            row("file system full (1 MiB tmpfs)", Fault::FileSystemFull, ErrorCode::SaveFailed, ENOSPC);
            row("file size limit", Fault::FileSizeLimit, ErrorCode::SaveFailed, EFBIG);
            row("write answers ENOSPC", Fault::WriteFailsNoSpace, ErrorCode::SaveFailed, ENOSPC);
            row("write answers EIO", Fault::WriteFailsIo, ErrorCode::SaveFailed, EIO);
            row("flush to disk answers EIO", Fault::FlushFailsIo, ErrorCode::SaveFailed, EIO);
            row("rename answers EIO", Fault::RenameFailsIo, ErrorCode::SaveFailed, EIO);
            row("folder flush after the rename answers EIO", Fault::FolderFlushFailsIo, ErrorCode::SaveFailed,
                EIO);
            row("folder flush unsupported by the file system", Fault::FolderFlushUnsupported, ErrorCode{}, 0);
            // the source pictures change after they were added: the bytes as added, or an error
            row("picture deleted", Fault::PictureDeleted, ErrorCode{}, 0);
            row("picture replaced by another file", Fault::PictureReplaced, ErrorCode{}, 0);
            row("picture rewritten in place, larger", Fault::PictureRewrittenLarger,
                ErrorCode::PictureChanged, 0);
            row("picture rewritten in place, same size", Fault::PictureRewrittenSameSize,
                ErrorCode::PictureChanged, 0);
            row("picture rewritten in place, same size, same second", Fault::PictureRewrittenSameSecond,
                ErrorCode::PictureChanged, 0);
            row("picture truncated in place", Fault::PictureTruncated, ErrorCode::PictureChanged, 0);
            // the target folder goes
            row("target folder removed", Fault::FolderRemoved, ErrorCode::SaveFailed, ENOENT);
        }
    }

    // A whole conversion through the real engine, with the fault striking while the Save-As dialog
    // is open. A failure reaches the user as "Error <number>" and its description and ends the
    // program; the earlier file is untouched; no temporary file is left anywhere.
    void conversionFaults()
    {
        QFETCH(QString, format);
        QFETCH(Fault, fault);
        QFETCH(int, error);
        QFETCH(int, osError);
        const QString path = target(format);
        const QString picture2 = m_pictures + QStringLiteral("/image2.jpg");
        const QByteArray replacement = m_imageBytes[2] + noise(300000, 7);

        std::optional<SmallFileSystem> smallFileSystem;
        if (fault == Fault::FileSystemFull) {
            smallFileSystem.emplace(m_out);
            if (smallFileSystem->error != 0) {
                const QString why = QStringLiteral("no tmpfs can be mounted here (%1)")
                                        .arg(QString::fromUtf8(std::strerror(smallFileSystem->error)));
                // CI runs as root and must try the real thing; a developer's own account may not.
                if (qEnvironmentVariableIsSet("CI"))
                    QFAIL(qPrintable(why));
                QSKIP(qPrintable(why + QStringLiteral("; the seccomp rows answer ENOSPC instead")));
            }
        }
        writeFileBytes(path, oldContent);
        QStringList expectedEntries = everythingUnder(m_dir->path());

        const auto meddle = [&] {
            switch (fault) {
            case Fault::PictureDeleted:
                QFile::remove(picture2);
                break;
            case Fault::PictureReplaced:
                writeFileBytes(picture2 + QStringLiteral(".new"), replacement);
                ::rename((picture2 + QStringLiteral(".new")).toUtf8().constData(),
                         picture2.toUtf8().constData());
                break;
            case Fault::PictureRewrittenLarger:
                writeFileBytes(picture2, replacement + replacement);
                break;
            case Fault::PictureRewrittenSameSize:
                writeFileBytes(picture2, m_pictureBytes[0].left(m_pictureBytes[1].size()));
                break;
            case Fault::PictureRewrittenSameSecond: {
                writeFileBytes(picture2, m_pictureBytes[0].left(m_pictureBytes[1].size()));
                // Rewritten within the second it was written in: only the nanoseconds tell.
                const timespec sameSecond[2] = {{1500000000, 1}, {1500000000, 1}};
                if (::utimensat(AT_FDCWD, picture2.toUtf8().constData(), sameSecond, 0) != 0)
                    throw std::runtime_error(std::strerror(errno));
                break;
            }
            case Fault::PictureTruncated:
                writeFileBytes(picture2, m_pictureBytes[1].left(1000));
                break;
            case Fault::FolderRemoved:
                QDir(m_out).removeRecursively();
                break;
            default:
                break;
            }
        };
        const ChildOutcome outcome = runInChild([&] {
            switch (fault) {
            case Fault::FileSizeLimit: {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{65536, 65536};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                break;
            }
            case Fault::WriteFailsNoSpace:
                failSystemCalls({SYS_pwrite64}, ENOSPC);
                break;
            case Fault::WriteFailsIo:
                failSystemCalls({SYS_pwrite64}, EIO);
                break;
            case Fault::FlushFailsIo:
                failSystemCalls({SYS_fdatasync}, EIO);
                break;
            // The file itself is flushed with fdatasync, so only the folder's flush fails.
            case Fault::FolderFlushFailsIo:
                failSystemCalls({SYS_fsync}, EIO);
                break;
            case Fault::FolderFlushUnsupported:
                failSystemCalls({SYS_fsync}, EINVAL);
                break;
            case Fault::RenameFailsIo:
                failSystemCalls(
                    {
#ifdef SYS_rename
                        SYS_rename,
#endif
                        SYS_renameat, SYS_renameat2},
                    EIO);
                break;
            default:
                break;
            }
            FakeServices fakes;
            MeddlingSaveDialog saveDialog;
            saveDialog.nextFileName = path.toStdString();
            saveDialog.whileShown = meddle;
            EngineObjectFactory engine(fakes.progress);
            PictureFolderWindow window(m_pictures.toStdString());
            const Services services{fakes.settings, fakes.messageBox, fakes.programEnd, fakes.shell,
                                    saveDialog,     engine,           fakes.progress};
            runReportingFailures(fakes.messageBox, fakes.programEnd,
                                 [&] { ConversionRun(window, services).run(); });
            // What the user was shown comes back to the test as the child's failure.
            if (!fakes.messageBox.texts.empty())
                throw std::runtime_error(fakes.messageBox.texts.front() + "\nstatus " +
                                         std::to_string(fakes.programEnd.statuses.at(0)));
        });

        if (error != 0) {
            const std::string context =
                error == int(ErrorCode::PictureChanged) ? picture2.toStdString() : path.toStdString();
            const std::string shown = reportText(Error(ErrorCode(error), context, osError));
            QCOMPARE(outcome.description, shown + "\nstatus 1");
            QVERIFY2(outcome.description.rfind("Error " + std::to_string(error) + "\n\n", 0) == 0,
                     outcome.description.c_str());
        } else {
            QVERIFY2(outcome.errorNumber == 0, outcome.description.c_str());
        }

        if (fault == Fault::PictureDeleted)
            expectedEntries.removeOne(QStringLiteral("pictures/image2.jpg"));
        if (fault == Fault::FolderRemoved)
            expectedEntries.removeIf(
                [](const QString& entry) { return entry.startsWith(QStringLiteral("out")); });
        QCOMPARE(everythingUnder(m_dir->path()), expectedEntries);

        // A folder that cannot be flushed leaves the new file in place, though not known to be durable.
        if (error == 0 || fault == Fault::FolderFlushFailsIo) {
            // Pictures are embedded as they are, so each one's bytes stand in the file in one piece.
            const QByteArray saved = readFileBytes(path);
            for (const QByteArray& bytes : m_pictureBytes)
                QVERIFY(saved.contains(bytes));
            QVERIFY(!saved.contains(replacement));
        } else if (fault != Fault::FolderRemoved) {
            QCOMPARE(readFileBytes(path), oldContent);
        }
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_save_faults.moc"

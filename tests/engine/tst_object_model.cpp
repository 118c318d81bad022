#include "base/Error.h"
#include "engine/Engine.h"
#include "platform/OpenFileLimit.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PptxReader.h"
#include "tests/support/TestPictures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrane;
using automation::msoFalse;
using automation::msoTrue;

namespace {

int errorNumber(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Error& error) {
        return error.number();
    }
    return 0;
}

std::shared_ptr<automation::Shape> addPicture(automation::Slide& slide, const QString& path,
                                              const char* left = "55", const char* top = "-60",
                                              const char* width = "612", const char* height = "792")
{
    return slide.Shapes().AddPicture(path.toStdString(), msoFalse, msoTrue, left, top, width, height);
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

class TestObjectModel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<automation::Application> m_app;
    std::shared_ptr<automation::Presentation> m_pres;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    QString jpeg(const QString& name, int variant = 1)
    {
        testing::writeFileBytes(path(name), testing::noiseJpeg(64, variant));
        return path(name);
    }

    std::vector<testing::PptxSlide> save(automation::Presentation& pres)
    {
        const QString file = path(QStringLiteral("saved.pptx"));
        pres.SaveAs(file.toStdString());
        return testing::readPptxSlides(testing::readZipFile(file));
    }

    QStringList names(const std::vector<testing::PptxSlide>& slides)
    {
        QStringList result;
        for (const auto& slide : slides) {
            QStringList onSlide;
            for (const auto& picture : slide.pictures)
                onSlide << picture.description;
            result << onSlide.join(u'+');
        }
        return result;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_app = presentation::startApplication();
        m_pres = m_app->Presentations().Add();
    }

    void cleanup()
    {
        m_pres.reset();
        m_app.reset();
        m_dir.reset();
    }

    void insertPositions_data()
    {
        QTest::addColumn<QList<int>>("indexes");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("append") << QList<int>{1, 2, 3} << QStringList{"p1.jpg", "p2.jpg", "p3.jpg"};
        QTest::newRow("prepend") << QList<int>{1, 1, 1} << QStringList{"p3.jpg", "p2.jpg", "p1.jpg"};
        QTest::newRow("middle") << QList<int>{1, 2, 2} << QStringList{"p1.jpg", "p3.jpg", "p2.jpg"};
        QTest::newRow("mixed") << QList<int>{1, 1, 3, 2}
                               << QStringList{"p2.jpg", "p4.jpg", "p1.jpg", "p3.jpg"};
    }

    // Picture k goes onto the slide inserted k-th, added after all slides exist, so a held slide
    // keeps its identity while others are inserted before it.
    void insertPositions()
    {
        QFETCH(QList<int>, indexes);
        QFETCH(QStringList, order);
        std::vector<std::shared_ptr<automation::Slide>> slides;
        for (int index : indexes)
            slides.push_back(m_pres->Slides().Add(index, automation::ppLayoutBlank));
        for (std::size_t k = 0; k < slides.size(); ++k)
            addPicture(*slides[k], jpeg(QStringLiteral("p%1.jpg").arg(k + 1), int(k)));
        QCOMPARE(names(save(*m_pres)), order);
    }

    void badSlideRequests_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("error");
        // positions outside 1..count+1
        QTest::newRow("zero") << 0 << 0 << 12 << 201;
        QTest::newRow("negative") << 2 << -1 << 12 << 201;
        QTest::newRow("past end of empty") << 0 << 2 << 12 << 201;
        QTest::newRow("past end") << 2 << 4 << 12 << 201;
        QTest::newRow("largest int") << 2 << INT_MAX << 12 << 201;
        // layouts other than blank
        QTest::newRow("title layout") << 0 << 1 << 1 << 202;
        QTest::newRow("layout 11") << 1 << 2 << 11 << 202;
        QTest::newRow("layout 13") << 0 << 1 << 13 << 202;
    }

    void badSlideRequests()
    {
        QFETCH(int, existing);
        QFETCH(int, index);
        QFETCH(int, layout);
        QFETCH(int, error);
        for (int i = 1; i <= existing; ++i)
            m_pres->Slides().Add(i, automation::ppLayoutBlank);
        QCOMPARE(errorNumber([&] { m_pres->Slides().Add(index, layout); }), error);
        QCOMPARE(int(save(*m_pres).size()), existing);
    }

    void placement_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("error");
        QTest::addColumn<QList<qint64>>("emu");
        // accepted, converted to EMU rounded to nearest
        QTest::newRow("defaults") << QStringList{"55", "-60", "612", "792"} << 0
                                  << QList<qint64>{698500, -762000, 7772400, 10058400};
        QTest::newRow("fractions") << QStringList{"72.5", "-0.5", "0.00004", "1e2"} << 0
                                   << QList<qint64>{920750, -6350, 1, 1270000};
        QTest::newRow("half EMU rounds away from zero")
            << QStringList{"-0.00003937007874015748", "+1.5", "0", ".5"} << 0
            << QList<qint64>{-1, 19050, 0, 6350};
        QTest::newRow("far offsets") << QStringList{"-169093.2", "169093.2", "169093.2", "1"} << 0
                                     << QList<qint64>{-2147483640, 2147483640, 2147483640, 12700};
        // not numbers
        QTest::newRow("letters") << QStringList{"abc", "0", "1", "1"} << 203 << QList<qint64>{};
        QTest::newRow("empty top") << QStringList{"0", "", "1", "1"} << 203 << QList<qint64>{};
        QTest::newRow("blank around width") << QStringList{"0", "0", " 1", "1"} << 203 << QList<qint64>{};
        QTest::newRow("comma height") << QStringList{"0", "0", "1", "1,5"} << 203 << QList<qint64>{};
        QTest::newRow("hexadecimal") << QStringList{"0x10", "0", "1", "1"} << 203 << QList<qint64>{};
        QTest::newRow("infinity") << QStringList{"0", "inf", "1", "1"} << 203 << QList<qint64>{};
        QTest::newRow("beyond double") << QStringList{"0", "0", "1e400", "1"} << 203 << QList<qint64>{};
        // numbers no format can hold
        QTest::newRow("negative width") << QStringList{"0", "0", "-1", "1"} << 204 << QList<qint64>{};
        QTest::newRow("negative height") << QStringList{"0", "0", "1", "-0.5"} << 204 << QList<qint64>{};
        QTest::newRow("negative width below half an EMU")
            << QStringList{"0", "0", "-76e-230", "1"} << 204 << QList<qint64>{};
        QTest::newRow("negative zero width")
            << QStringList{"0", "0", "-0", "1"} << 0 << QList<qint64>{0, 0, 0, 12700};
        QTest::newRow("huge width") << QStringList{"0", "0", "1e300", "1"} << 204 << QList<qint64>{};
    }

    void placement()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, error);
        QFETCH(QList<qint64>, emu);
        auto slide = m_pres->Slides().Add(1, automation::ppLayoutBlank);
        const QString file = jpeg(QStringLiteral("image1.jpg"));
        try {
            slide->Shapes().AddPicture(file.toStdString(), msoFalse, msoTrue, texts[0].toStdString(),
                                       texts[1].toStdString(), texts[2].toStdString(),
                                       texts[3].toStdString());
            QCOMPARE(0, error);
        } catch (const Error& caught) {
            QCOMPARE(caught.number(), error);
            QVERIFY2(QString::fromStdString(caught.description()).contains(u'"'), caught.what());
            QVERIFY(save(*m_pres).at(0).pictures.empty());
            return;
        }
        const testing::PptxPicture picture = save(*m_pres).at(0).pictures.at(0);
        QCOMPARE((QList<qint64>{picture.x, picture.y, picture.width, picture.height}), emu);
    }

    void linking_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("saveWith");
        QTest::addColumn<int>("error");
        QTest::newRow("embedded") << int(msoFalse) << int(msoTrue) << 0;
        QTest::newRow("linked") << int(msoTrue) << int(msoFalse) << 205;
        QTest::newRow("linked and saved") << int(msoTrue) << int(msoTrue) << 205;
        QTest::newRow("neither") << int(msoFalse) << int(msoFalse) << 205;
    }

    void linking()
    {
        QFETCH(int, link);
        QFETCH(int, saveWith);
        QFETCH(int, error);
        auto slide = m_pres->Slides().Add(1, automation::ppLayoutBlank);
        const std::string file = jpeg(QStringLiteral("image1.jpg")).toStdString();
        QCOMPARE(errorNumber([&] {
                     slide->Shapes().AddPicture(file, automation::MsoTriState(link),
                                                automation::MsoTriState(saveWith), "1", "1", "1", "1");
                 }),
                 error);
    }

    void badPictures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("error");
        QTest::newRow("missing") << "missing" << 301;
        QTest::newRow("empty") << "empty" << 303;
        QTest::newRow("truncated header") << "truncated" << 305;
        QTest::newRow("scan before frame") << "corrupt" << 305;
        // a GIF is converted for the .ppt when it is added, so damage past its header shows then
        QTest::newRow("gif without an image") << "gif" << 305;
        QTest::newRow("webp named jpg") << "webp" << 304;
        QTest::newRow("text named jpg") << "text" << 304;
        QTest::newRow("directory") << "directory" << 302;
        QTest::newRow("fifo") << "fifo" << 302;
        QTest::newRow("link to /dev/zero") << "devzero" << 302;
        QTest::newRow("dangling link") << "dangling" << 301;
    }

    // Each bad file fails with its own number and names the file; what was added before is kept.
    void badPictures()
    {
        QFETCH(QString, setup);
        QFETCH(int, error);
        const QString bad = path(QStringLiteral("image2.jpg"));
        if (setup == "empty")
            testing::writeFileBytes(bad, {});
        else if (setup == "truncated")
            testing::writeFileBytes(bad, testing::noiseJpeg(64, 1).left(9));
        else if (setup == "corrupt")
            testing::writeFileBytes(bad, QByteArray("\xFF\xD8\xFF\xDA\0\x08\1\1\0\0\x3f\0", 12));
        else if (setup == "gif")
            testing::writeFileBytes(bad, QByteArray("GIF89a\x28\0\x1e\0\0\0\0;", 14));
        else if (setup == "webp")
            testing::writeFileBytes(bad,
                                    QByteArray("RIFF\x24\0\0\0WEBPVP8 \x18\0\0\0", 20) + QByteArray(24, 'w'));
        else if (setup == "text")
            testing::writeFileBytes(bad, "not a picture\n");
        else if (setup == "directory")
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("image2.jpg")));
        else if (setup == "fifo")
            QCOMPARE(::mkfifo(bad.toUtf8().constData(), 0644), 0);
        else if (setup == "devzero")
            QCOMPARE(::symlink("/dev/zero", bad.toUtf8().constData()), 0);
        else if (setup == "dangling")
            QCOMPARE(::symlink("nowhere.jpg", bad.toUtf8().constData()), 0);

        auto first = m_pres->Slides().Add(1, automation::ppLayoutBlank);
        addPicture(*first, jpeg(QStringLiteral("image1.jpg")));
        auto second = m_pres->Slides().Add(2, automation::ppLayoutBlank);
        try {
            addPicture(*second, bad);
            QFAIL("the bad picture was accepted");
        } catch (const Error& caught) {
            QCOMPARE(caught.number(), error);
            QVERIFY2(QString::fromStdString(caught.description()).contains(bad), caught.what());
        }
        QCOMPARE(names(save(*m_pres)), (QStringList{"image1.jpg", ""}));
    }

    // A link to a regular file is followed; only what it leads to matters.
    void linkToPicture()
    {
        const QString target = jpeg(QStringLiteral("real.jpg"), 5);
        const QString link = path(QStringLiteral("image1.jpg"));
        QCOMPARE(::symlink(target.toUtf8().constData(), link.toUtf8().constData()), 0);
        addPicture(*m_pres->Slides().Add(1, automation::ppLayoutBlank), link);
        const auto picture = save(*m_pres).at(0).pictures.at(0);
        QCOMPARE(picture.description, QStringLiteral("image1.jpg"));
        QCOMPARE(picture.image, testing::noiseJpeg(64, 5));
    }

    // Root reads every file, so the check runs as nobody.
    void unreadablePicture()
    {
        const QString file = jpeg(QStringLiteral("image1.jpg"));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
        const auto outcome = testing::runInChild(
            [&] {
                auto app = presentation::startApplication();
                auto slide = app->Presentations().Add()->Slides().Add(1, automation::ppLayoutBlank);
                addPicture(*slide, file);
            },
            testing::Privileges::Drop);
        QCOMPARE(outcome.errorNumber, 301);
        QVERIFY(QString::fromStdString(outcome.description).contains(file));
        QVERIFY(QString::fromStdString(outcome.description).contains(QStringLiteral("Permission denied")));
    }

    void snapshot_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("error");
        QTest::newRow("renamed") << "rename" << 0;
        QTest::newRow("deleted") << "delete" << 0;
        QTest::newRow("replaced by another file") << "replace" << 0;
        QTest::newRow("rewritten in place") << "rewrite" << 306;
        QTest::newRow("appended to") << "append" << 306;
    }

    // What is saved is the file as it was at AddPicture; a change that would alter it is refused.
    void snapshot()
    {
        QFETCH(QString, change);
        QFETCH(int, error);
        const QString file = jpeg(QStringLiteral("image1.jpg"), 1);
        const QByteArray original = testing::readFileBytes(file);
        addPicture(*m_pres->Slides().Add(1, automation::ppLayoutBlank), file);
        if (change == "rename") {
            QVERIFY(QFile::rename(file, path(QStringLiteral("other.jpg"))));
        } else if (change == "delete") {
            QVERIFY(QFile::remove(file));
        } else if (change == "replace") {
            testing::writeFileBytes(path(QStringLiteral("new.jpg")), testing::noiseJpeg(64, 2));
            QCOMPARE(
                ::rename(path(QStringLiteral("new.jpg")).toUtf8().constData(), file.toUtf8().constData()), 0);
        } else {
            QFile rewrite(file);
            QVERIFY(rewrite.open(change == "append" ? QIODevice::Append : QIODevice::ReadWrite));
            rewrite.write(change == "append" ? QByteArray("more") : testing::noiseJpeg(80, 2));
        }
        if (error != 0) {
            QCOMPARE(errorNumber([&] { save(*m_pres); }), error);
            return;
        }
        QCOMPARE(save(*m_pres).at(0).pictures.at(0).image, original);
    }

    // Quit drops every presentation, also those still held, and closes their files.
    void quitDiscardsEverything()
    {
        const int before = openDescriptors();
        auto slide = m_pres->Slides().Add(1, automation::ppLayoutBlank);
        for (int i = 0; i < 20; ++i)
            addPicture(*slide, jpeg(QStringLiteral("image%1.jpg").arg(i), i));
        QCOMPARE(openDescriptors(), before + 20);
        m_app->Quit();
        QCOMPARE(openDescriptors(), before);
        const std::string file = path(QStringLiteral("after.pptx")).toStdString();
        QCOMPARE(errorNumber([&] { m_pres->SaveAs(file); }), 206);
        QCOMPARE(errorNumber([&] { m_pres->Slides().Add(1, automation::ppLayoutBlank); }), 206);
        QCOMPARE(errorNumber([&] { addPicture(*slide, jpeg(QStringLiteral("x.jpg"))); }), 206);
        QCOMPARE(errorNumber([&] { m_app->Presentations().Add(); }), 206);
        QCOMPARE(errorNumber([&] { m_app->Quit(); }), 206);
        QVERIFY(!QFile::exists(QString::fromStdString(file)));
    }

    void presentationsAreSeparate()
    {
        auto other = m_app->Presentations().Add();
        addPicture(*m_pres->Slides().Add(1, automation::ppLayoutBlank), jpeg(QStringLiteral("a.jpg")));
        QCOMPARE(int(save(*other).size()), 0);
        QCOMPARE(names(save(*m_pres)), QStringList{"a.jpg"});
    }

    // More pictures than the usual soft limit of open files, which the program raises at start.
    void manyPicturesHeldOpen()
    {
        for (int i = 0; i < 300; ++i)
            jpeg(QStringLiteral("m%1.jpg").arg(i), i);
        const QString target = path(QStringLiteral("many.pptx"));
        const auto outcome = testing::runInChild([&] {
            rlimit limit;
            ::getrlimit(RLIMIT_NOFILE, &limit);
            limit.rlim_cur = 64;
            ::setrlimit(RLIMIT_NOFILE, &limit);
            raiseOpenFileLimit();
            auto app = presentation::startApplication();
            auto pres = app->Presentations().Add();
            auto slide = pres->Slides().Add(1, automation::ppLayoutBlank);
            for (int i = 0; i < 300; ++i)
                addPicture(*slide, path(QStringLiteral("m%1.jpg").arg(i)));
            pres->SaveAs(target.toStdString());
        });
        QVERIFY2(outcome.errorNumber == 0, outcome.description.c_str());
        QCOMPARE(int(testing::readPptxSlides(testing::readZipFile(target)).at(0).pictures.size()), 300);
    }

    // Folder and file names beyond ASCII; the package keeps only the base name.
    void nonAsciiNames()
    {
        const QString folder =
            QString::fromUtf8("Fotos \xC3\xA4\xC3\xB6\xC3\xBC \xE5\x86\x99\xE7\x9C\x9F & <Co>");
        QVERIFY(QDir(m_dir->path()).mkdir(folder));
        const QString name = QString::fromUtf8("Bild \xC3\xBC \"1\".jpg");
        const QString file = path(folder + u'/' + name);
        testing::writeFileBytes(file, testing::noiseJpeg(64, 7));
        addPicture(*m_pres->Slides().Add(1, automation::ppLayoutBlank), file);
        const QString target = path(folder + QStringLiteral("/deck \xE2\x82\xAC.pptx"));
        m_pres->SaveAs(target.toStdString());
        const auto package = testing::readZipFile(target);
        QCOMPARE(testing::readPptxSlides(package).at(0).pictures.at(0).description, name);
        for (const auto& [part, member] : package)
            QVERIFY2(!member.data.contains(m_dir->path().toUtf8()), qPrintable(part));
    }

    void formatFollowsName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("zip");
        QTest::newRow("pptx") << "deck.pptx" << true;
        QTest::newRow("upper case") << "DECK.PPTX" << true;
        QTest::newRow("mixed case") << "deck.pPtX" << true;
        QTest::newRow("ppt") << "deck.ppt" << false;
        QTest::newRow("no extension") << "deck" << false;
        QTest::newRow("pptx not last") << "deck.pptx.bak" << false;
        QTest::newRow("just the extension") << ".pptx" << true;
    }

    // .pptx gives a zip package; any other name the binary format.
    void formatFollowsName()
    {
        QFETCH(QString, name);
        QFETCH(bool, zip);
        addPicture(*m_pres->Slides().Add(1, automation::ppLayoutBlank), jpeg(QStringLiteral("a.jpg")));
        m_pres->SaveAs(path(name).toStdString());
        QVERIFY(testing::readFileBytes(path(name))
                    .startsWith(zip ? QByteArray("PK\3\4") : QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")));
    }
};

QTEST_GUILESS_MAIN(TestObjectModel)
#include "tst_object_model.moc"

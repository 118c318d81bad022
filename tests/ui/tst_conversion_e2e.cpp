#include "base/Error.h"
#include "platform/QtSaveFileDialog.h"
#include "tests/support/Fakes.h"
#include "tests/support/LibreOfficeReader.h"
#include "tests/support/PptxReader.h"
#include "tests/support/TestPictures.h"
#include "ui/DirectoryList.h"
#include "ui/EngineObjectFactory.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/SelectAllLineEdit.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

// Steps waiting for their window; the test's cleanup drops those still waiting, so none acts
// in a later test. Never deleted: it lives as long as the process.
QObject& pendingSteps()
{
    static auto* owner = new QObject;
    return *owner;
}

template <typename Window>
Window* visibleWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<Window*>(window); found && found->isVisible())
            return found;
    return nullptr;
}

// Runs `step` on the first visible window of its kind once it shows, from inside the modal
// loop that shows it.
template <typename Window>
void whenShown(std::function<void(Window*)> step)
{
    auto* timer = new QTimer(&pendingSteps());
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (Window* window = visibleWindow<Window>()) {
            timer->stop();
            timer->deleteLater();
            step(window);
        }
    });
    timer->start(20);
}

void chooseDirectory(const QString& directory)
{
    whenShown<Form2>([directory](Form2* chooser) {
        chooser->Dir1->setPath(QFile::encodeName(directory));
        QTest::mouseClick(chooser->Command1, Qt::LeftButton);
    });
}

// Replaces the field's text by typing, as a person would.
void typeInto(QLineEdit* field, const QString& text)
{
    field->clear();
    QTest::keyClicks(field, text);
}

void typePlacement(Form1& form, const QStringList& fields)
{
    typeInto(form.Text1, fields[0]);
    typeInto(form.Text2, fields[1]);
    typeInto(form.Text3, fields[2]);
    typeInto(form.Text4, fields[3]);
}

// Everything in a folder, hidden files included, so a temporary file left over shows.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A run that stopped before the engine: no application, no file name asked, nothing saved and the
// program still running.
void verifyNoEngineStarted(const Form1& form, const FakeServices& fakes, const QString& output)
{
    QVERIFY(!form.conversion.app);
    QVERIFY(!form.conversion.pres);
    QVERIFY(fakes.saveDialog.startedFrom.empty());
    QVERIFY(fakes.programEnd.statuses.empty());
    QCOMPARE(entries(output), QStringList());
}

// The files under `folder` this process holds open.
QStringList openFilesUnder(const QString& folder)
{
    QStringList open;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& descriptor : descriptors.entryList(QDir::Files | QDir::System)) {
        const QString target = QFile::symLinkTarget(descriptors.filePath(descriptor));
        if (target.startsWith(folder + '/'))
            open << target;
    }
    open.sort();
    return open;
}

// Pictures whose pixels (and sizes) differ by number, so each slide shows which file it holds.
std::vector<QByteArray> makePictures(const QString& folder, const QStringList& names)
{
    std::vector<QByteArray> pictures;
    int variant = 0;
    for (const QString& name : names)
        pictures.push_back(makeTestImage(QDir(folder).filePath(name), TestImage::Baseline, ++variant));
    return pictures;
}

// The main window on the real engine; every other service recorded.
struct RealEngine
{
    FakeServices fakes;
    EngineObjectFactory engine{fakes.progress};
    Services services()
    {
        return {fakes.settings,   fakes.messageBox, fakes.programEnd, fakes.shell,
                fakes.saveDialog, engine,           fakes.progress};
    }
};

// Remembers which picture files are open at the moment the Save-As dialog would show.
class SaveDialogNotingOpenFiles : public RecordingSaveDialog
{
public:
    explicit SaveDialogNotingOpenFiles(QString folder) : m_folder(std::move(folder)) {}
    void ShowSave() override
    {
        openWhenShown = openFilesUnder(m_folder);
        RecordingSaveDialog::ShowSave();
    }

    QStringList openWhenShown;

private:
    QString m_folder;
};

// Where a picture stands, in points.
struct Placement
{
    double left;
    double top;
    double width;
    double height;
};

// A deck a test made, and what LibreOffice must find in it: one slide per picture, in order,
// each holding only that picture at `placement`.
struct MadeDeck
{
    QString madeBy;
    QString file;
    std::vector<QByteArray> pictures;
    Placement placement;
};

} // namespace

class TestConversionEndToEnd : public QObject
{
    Q_OBJECT

    // Decks are read by LibreOffice all in one run at the end, since each start of it takes
    // seconds.
    QTemporaryDir m_decks;
    std::vector<MadeDeck> m_made;
    std::vector<OdpDocument> m_read;

    // A target for a deck no other test uses; LibreOffice needs the names to differ.
    QString newDeckPath(const QString& extension) const
    {
        return m_decks.filePath(QStringLiteral("deck%1.%2").arg(m_made.size() + 1).arg(extension));
    }

    void expectInLibreOffice(const QString& file, std::vector<QByteArray> pictures, Placement placement)
    {
        QString madeBy = QString::fromLatin1(QTest::currentTestFunction());
        if (QTest::currentDataTag())
            madeBy += QStringLiteral(" (%1)").arg(QString::fromLatin1(QTest::currentDataTag()));
        m_made.push_back({madeBy, file, std::move(pictures), placement});
    }

private slots:
    void cleanup()
    {
        qDeleteAll(pendingSteps().children());
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
    }

    void aFolderBecomesADeckThatLibreOfficeOpens_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("folder");
        QTest::newRow("binary") << "ppt" << QByteArray("pictures");
        QTest::newRow("open xml") << "pptx" << QByteArray("pictures");
        // Latin-1 bytes, as an old archive holds them: shown decoded, chosen and probed as they are.
        QTest::newRow("a folder name that is not UTF-8") << "pptx" << QByteArray("caf\xe9 \xff");
    }

    void aFolderBecomesADeckThatLibreOfficeOpens()
    {
        QFETCH(QString, extension);
        QFETCH(QByteArray, folder);
        QTemporaryDir parent;
        const QString made = parent.filePath("pictures");
        QVERIFY(QDir().mkdir(made));
        const QByteArray first = makeTestImage(made + "/image1.jpg", TestImage::Baseline, 1);
        const QByteArray second = makeTestImage(made + "/image2.jpg", TestImage::Progressive, 2);
        const QByteArray third = makeTestImage(made + "/image3.jpg", TestImage::Grey, 3);
        makeTestImage(made + "/image5.jpg", TestImage::Baseline, 5);
        const QByteArray directory = QFile::encodeName(parent.path()) + '/' + folder;
        QCOMPARE(::rename(QFile::encodeName(made).constData(), directory.constData()), 0);
        // QTemporaryDir cannot name what is not UTF-8.
        const auto removeDirectory =
            qScopeGuard([&] { std::filesystem::remove_all(directory.toStdString()); });

        RealEngine setup;
        const QString target = newDeckPath(extension);
        setup.fakes.saveDialog.nextFileName = target.toStdString();
        Form1 form(setup.services());
        form.start();
        typeInto(form.Text3, "72.5");
        whenShown<Form2>([&](Form2* chooser) {
            DirectoryList& list = *chooser->Dir1;
            list.setPath(QFile::encodeName(parent.path()));
            for (int row = 0; row < list.count(); ++row)
                if (list.item(row)->text() == QFile::decodeName(folder))
                    list.setCurrentRow(row);
            QTest::mouseClick(chooser->Command1, Qt::LeftButton);
        });
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY2(setup.fakes.messageBox.texts.empty(),
                 setup.fakes.messageBox.texts.empty() ? "" : setup.fakes.messageBox.texts.front().c_str());
        QCOMPARE(form.imagedir, directory);
        QCOMPARE(setup.fakes.settings.value("DefaultX"), std::string("72.5"));
        QVERIFY(QFile::exists(target));
        expectInLibreOffice(target, {first, second, third}, {72.5, -60, 612, 792});
    }

    void invalidPlacementStopsBeforeAnythingIsSaved_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");

        QTest::newRow("both pairs invalid")
            << QStringList{"0", "", "x", ""} << "Invalid dimensions specified.";
        QTest::newRow("zero width") << QStringList{"0", "792", "55", "-60"}
                                    << "Invalid dimensions specified.";
        QTest::newRow("negative height")
            << QStringList{"612", "-1", "55", "-60"} << "Invalid dimensions specified.";
    }

    void invalidPlacementStopsBeforeAnythingIsSaved()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        QTemporaryDir images;
        QTemporaryDir output;
        makeTestImage(images.filePath("image1.jpg"), TestImage::Baseline, 1);

        RealEngine setup;
        setup.fakes.saveDialog.nextFileName = output.filePath("never.pptx").toStdString();
        Form1 form(setup.services());
        form.start();
        setup.fakes.settings.calls.clear();
        typePlacement(form, fields);
        // Should the chooser show after all, it is answered, so the test fails instead of waiting.
        auto chooserShown = std::make_shared<bool>(false);
        whenShown<Form2>([chooserShown, &images](Form2* chooser) {
            *chooserShown = true;
            chooser->Dir1->setPath(QFile::encodeName(images.path()));
            QTest::mouseClick(chooser->Command1, Qt::LeftButton);
        });
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QCOMPARE(setup.fakes.messageBox.texts, std::vector<std::string>{message.toStdString()});
        QVERIFY(!*chooserShown);
        QVERIFY(setup.fakes.settings.calls.empty());
        verifyNoEngineStarted(form, setup.fakes, output.path());
    }

    void placementTextsReachTheEngineAsTypedAndTheDeckShowsThem_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");

        QTest::newRow("negative left and top, binary")
            << QStringList{"300", "200.5", "-72.5", "-60"} << "ppt" << -72.5 << -60.0 << 300.0 << 200.5;
        QTest::newRow("negative left and top, open xml")
            << QStringList{"300", "200.5", "-72.5", "-60"} << "pptx" << -72.5 << -60.0 << 300.0 << 200.5;
        QTest::newRow("sign, trailing zero and exponent")
            << QStringList{"55.50", "+72.5", "72.5", "1e1"} << "pptx" << 72.5 << 10.0 << 55.5 << 72.5;
    }

    void placementTextsReachTheEngineAsTypedAndTheDeckShowsThem()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, extension);
        QFETCH(double, left);
        QFETCH(double, top);
        QFETCH(double, width);
        QFETCH(double, height);
        QTemporaryDir images;
        const std::vector<QByteArray> pictures = makePictures(images.path(), {"image1.jpg", "image2.jpg"});
        const QString target = newDeckPath(extension);

        // First the recording engine, for the exact texts and the order of the calls.
        {
            FakeServices fakes;
            fakes.saveDialog.nextFileName = target.toStdString();
            Form1 form(fakes.services());
            form.start();
            typePlacement(form, fields);
            chooseDirectory(images.path());
            QTest::mouseClick(form.Command1, Qt::LeftButton);

            QVERIFY(fakes.messageBox.texts.empty());
            const std::string dir = images.path().toStdString();
            const std::string asTyped = "," + fields[2].toStdString() + "," + fields[3].toStdString() + "," +
                                        fields[0].toStdString() + "," + fields[1].toStdString() + ")";
            const std::vector<std::string> expected{
                "CreatePresentationApplication",
                "app1.Presentations.Add",
                "CreateFileSystemObject",
                "FileExists(" + dir + "/image1.jpg)=true",
                "app1.Slides.Add(1,12)",
                "app1.AddPicture(" + dir + "/image1.jpg,0,-1" + asTyped,
                "FileExists(" + dir + "/image2.jpg)=true",
                "app1.Slides.Add(2,12)",
                "app1.AddPicture(" + dir + "/image2.jpg,0,-1" + asTyped,
                "FileExists(" + dir + "/image3.jpg)=false",
                "ReleaseFileSystemObject",
                "app1.SaveAs(" + target.toStdString() + ")",
                "app1.Quit",
            };
            QCOMPARE(fakes.objects.log, expected);
            QCOMPARE(fakes.settings.value("DefaultWidth"), fields[0].toStdString());
            QCOMPARE(fakes.settings.value("DefaultHeight"), fields[1].toStdString());
            QCOMPARE(fakes.settings.value("DefaultX"), fields[2].toStdString());
            QCOMPARE(fakes.settings.value("DefaultY"), fields[3].toStdString());
            QVERIFY(!QFile::exists(target));
        }

        // Then the same texts on the real engine, for the file.
        RealEngine setup;
        setup.fakes.saveDialog.nextFileName = target.toStdString();
        Form1 form(setup.services());
        form.start();
        typePlacement(form, fields);
        chooseDirectory(images.path());
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY2(setup.fakes.messageBox.texts.empty(),
                 setup.fakes.messageBox.texts.empty() ? "" : setup.fakes.messageBox.texts.front().c_str());
        QVERIFY(QFile::exists(target));
        expectInLibreOffice(target, pictures, {left, top, width, height});
    }

    void aCancelledChooserKeepsTheValuesAndStartsNoEngine_data()
    {
        QTest::addColumn<bool>("throughFrame");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("window closed") << true;
    }

    void aCancelledChooserKeepsTheValuesAndStartsNoEngine()
    {
        QFETCH(bool, throughFrame);
        QTemporaryDir images;
        QTemporaryDir output;
        makeTestImage(images.filePath("image1.jpg"), TestImage::Baseline, 1);

        RealEngine setup;
        setup.fakes.saveDialog.nextFileName = output.filePath("never.pptx").toStdString();
        Form1 form(setup.services());
        form.start();
        typePlacement(form, {"55.50", "1e3", "-2.5", "15.5"});
        // A folder chosen by an earlier press is not used again.
        form.imagedir = QFile::encodeName(images.path());
        bool chooserShown = false;
        whenShown<Form2>([&](Form2* chooser) {
            chooserShown = true;
            chooser->Dir1->setPath(QFile::encodeName(images.path()));
            if (throughFrame)
                chooser->close();
            else
                QTest::mouseClick(chooser->Command2, Qt::LeftButton);
        });
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY(chooserShown);
        QVERIFY(setup.fakes.messageBox.texts.empty());
        QCOMPARE(form.imagedir, QByteArray());
        QCOMPARE(setup.fakes.settings.value("DefaultWidth"), std::string("55.50"));
        QCOMPARE(setup.fakes.settings.value("DefaultHeight"), std::string("1e3"));
        QCOMPARE(setup.fakes.settings.value("DefaultX"), std::string("-2.5"));
        QCOMPARE(setup.fakes.settings.value("DefaultY"), std::string("15.5"));
        verifyNoEngineStarted(form, setup.fakes, output.path());
    }

    void picturesFollowTheNumbersUpToTheFirstGap_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("slides");
        QTest::addColumn<QString>("extension");

        QTest::newRow("no image1, binary") << QStringList{"image2.jpg", "image3.jpg"} << 0 << "ppt";
        QTest::newRow("no image1, open xml") << QStringList{"image2.jpg"} << 0 << "pptx";
        QTest::newRow("gap after two") << QStringList{"image1.jpg", "image2.jpg", "image4.jpg"} << 2 << "ppt";
        QTest::newRow("ten follows nine")
            << QStringList{"image1.jpg", "image2.jpg", "image3.jpg", "image4.jpg", "image5.jpg",
                           "image6.jpg", "image7.jpg", "image8.jpg", "image9.jpg", "image10.jpg"}
            << 10 << "pptx";
        QTest::newRow("leading zeros") << QStringList{"image01.jpg", "image02.jpg"} << 0 << "pptx";
        QTest::newRow("camera names, then another extension")
            << QStringList{"IMAGE1.JPG", "Image2.Jpg", "image3.jpeg"} << 2 << "ppt";
    }

    void picturesFollowTheNumbersUpToTheFirstGap()
    {
        QFETCH(QStringList, files);
        QFETCH(int, slides);
        QFETCH(QString, extension);
        QTemporaryDir images;
        // makePictures numbers the variants in list order, so image<n> is variant n where it exists.
        const std::vector<QByteArray> pictures = makePictures(images.path(), files);

        RealEngine setup;
        const QString target = newDeckPath(extension);
        setup.fakes.saveDialog.nextFileName = target.toStdString();
        Form1 form(setup.services());
        form.start();
        chooseDirectory(images.path());
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY2(setup.fakes.messageBox.texts.empty(),
                 setup.fakes.messageBox.texts.empty() ? "" : setup.fakes.messageBox.texts.front().c_str());
        // Asked for a name even when there was nothing to add.
        QCOMPARE(setup.fakes.saveDialog.startedFrom, std::vector<std::string>{""});
        // The deck and no temporary file beside it.
        QStringList decks{QFileInfo(target).fileName()};
        for (const MadeDeck& made : m_made)
            decks << QFileInfo(made.file).fileName();
        decks.sort();
        QCOMPARE(entries(m_decks.path()), decks);
        // The package's own slide list, which LibreOffice cannot show empty.
        if (extension == "pptx")
            QCOMPARE(readPptxSlides(readZipFile(target)).size(), std::size_t(slides));
        expectInLibreOffice(target, {pictures.begin(), pictures.begin() + slides}, {55, -60, 612, 792});
    }

    void aCancelledSaveWritesNothingAndQuits()
    {
        QTemporaryDir images;
        QTemporaryDir output;
        makePictures(images.path(), {"image1.jpg", "image2.jpg"});

        FakeServices fakes;
        EngineObjectFactory engine(fakes.progress);
        SaveDialogNotingOpenFiles saveDialog(images.path());
        Form1 form({fakes.settings, fakes.messageBox, fakes.programEnd, fakes.shell, saveDialog, engine,
                    fakes.progress});
        form.start();
        chooseDirectory(images.path());
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY(fakes.messageBox.texts.empty());
        QCOMPARE(saveDialog.startedFrom, std::vector<std::string>{""});
        QCOMPARE(saveDialog.fileName(), std::string());
        // The engine held the pictures while the dialog was up, and let go of them on quitting.
        QCOMPARE(saveDialog.openWhenShown,
                 (QStringList{images.filePath("image1.jpg"), images.filePath("image2.jpg")}));
        QCOMPARE(openFilesUnder(images.path()), QStringList());
        try {
            form.conversion.pres->SaveAs(output.filePath("after quitting.pptx").toStdString());
            QFAIL("the presentation saved after its application quit");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::ApplicationQuit);
        }
        QCOMPARE(entries(output.path()), QStringList());
        QCOMPARE(entries(images.path()), (QStringList{"image1.jpg", "image2.jpg"}));
        QVERIFY(fakes.programEnd.statuses.empty());
    }

    void aDamagedImageEndsTheProgramThroughTheFailureReport()
    {
        QTemporaryDir images;
        QTemporaryDir output;
        makeTestImage(images.filePath("image1.jpg"), TestImage::Baseline, 1);
        makeTestImage(images.filePath("image2.jpg"), TestImage::Baseline, 2);
        writeFileBytes(images.filePath("image3.jpg"), "this is no picture");

        RealEngine setup;
        setup.fakes.saveDialog.nextFileName = output.filePath("never.pptx").toStdString();
        Form1 form(setup.services());
        form.start();
        chooseDirectory(images.path());
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QCOMPARE(setup.fakes.messageBox.texts.size(), std::size_t(1));
        const QString report = QString::fromStdString(setup.fakes.messageBox.texts.front());
        QVERIFY2(report.startsWith("Error 3") && report.contains("image3.jpg"), qPrintable(report));
        QCOMPARE(setup.fakes.programEnd.statuses, std::vector<int>{1});
        QVERIFY(setup.fakes.saveDialog.startedFrom.empty());
        QVERIFY(QDir(output.path()).isEmpty());
    }

    void theRealSaveDialogNamesTheFile()
    {
        QTemporaryDir images;
        const QByteArray picture = makeTestImage(images.filePath("image1.jpg"), TestImage::Baseline, 1);

        RealEngine setup;
        QtSaveFileDialog saveDialog;
        FakeServices& f = setup.fakes;
        Form1 form({f.settings, f.messageBox, f.programEnd, f.shell, saveDialog, setup.engine, f.progress});
        form.start();
        chooseDirectory(images.path());
        // A blank in the name, to show it is taken whole.
        const QString target = m_decks.filePath(QStringLiteral("typed deck%1.ppt").arg(m_made.size() + 1));
        QString title;
        QStringList filters;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            QCOMPARE(name->text(), QString());
            name->setText(target);
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY(f.messageBox.texts.empty());
        QCOMPARE(title, QString("Save PowerPoint File As"));
        QCOMPARE(filters, QStringList{"PowerPoint (*.ppt)"});
        QCOMPARE(QString::fromStdString(saveDialog.fileName()), target);
        QVERIFY(QFile::exists(target));
        expectInLibreOffice(target, {picture}, {55, -60, 612, 792});
    }

    // Reads every deck the tests above made, in one LibreOffice run.
    void libreOfficeFindsWhatEachDeckWasMadeOf_data()
    {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < m_made.size(); ++i)
            QTest::newRow(qPrintable(m_made[i].madeBy)) << int(i);
    }

    void libreOfficeFindsWhatEachDeckWasMadeOf()
    {
        QVERIFY2(QTest::currentDataTag(), "the tests that make the decks did not run");
        QFETCH(int, index);
        if (m_read.empty()) {
            QStringList files;
            for (const MadeDeck& deck : m_made)
                files << deck.file;
            m_read = readWithLibreOffice(files);
        }
        const MadeDeck& made = m_made[std::size_t(index)];
        const Placement& at = made.placement;
        std::vector<std::vector<ExpectedPicture>> slides;
        for (const QByteArray& picture : made.pictures)
            slides.push_back({{at.left, at.top, at.width, at.height, picture}});
        verifyLibreOfficeRead(m_read[std::size_t(index)], slides, 0.011, made.file.endsWith(u".ppt"));
    }
};

int main(int argc, char* argv[])
{
    // Qt's own dialog, so the test can type into it whatever desktop it runs on.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    TestConversionEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conversion_e2e.moc"

#include "platform/DirectoryList.h"
#include "platform/EngineObjectFactory.h"
#include "platform/QtSaveFileDialog.h"
#include "tests/support/Fakes.h"
#include "tests/support/LibreOfficeReader.h"
#include "tests/support/TestPictures.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/SelectAllLineEdit.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

constexpr double cmPerPoint = 2.54 / 72;

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
    auto* timer = new QTimer;
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
        chooser->Dir1->setPath(directory);
        QTest::mouseClick(chooser->Command1, Qt::LeftButton);
    });
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

} // namespace

class TestConversionEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
    }

    void aFolderBecomesADeckThatLibreOfficeOpens_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("binary") << "deck.ppt";
        QTest::newRow("open xml") << "deck.pptx";
    }

    void aFolderBecomesADeckThatLibreOfficeOpens()
    {
        QFETCH(QString, fileName);
        QTemporaryDir images;
        QTemporaryDir output;
        const QByteArray first = makeTestImage(images.filePath("image1.jpg"), TestImage::Baseline, 1);
        makeTestImage(images.filePath("image2.jpg"), TestImage::Progressive, 2);
        makeTestImage(images.filePath("image3.jpg"), TestImage::Grey, 3);
        makeTestImage(images.filePath("image5.jpg"), TestImage::Baseline, 5);

        RealEngine setup;
        const QString target = output.filePath(fileName);
        setup.fakes.saveDialog.nextFileName = target.toStdString();
        Form1 form(setup.services());
        form.start();
        form.Text3->setText("72.5");
        chooseDirectory(images.path());
        QTest::mouseClick(form.Command1, Qt::LeftButton);

        QVERIFY2(setup.fakes.messageBox.texts.empty(),
                 setup.fakes.messageBox.texts.empty() ? "" : setup.fakes.messageBox.texts.front().c_str());
        QCOMPARE(form.imagedir, images.path());
        QCOMPARE(setup.fakes.settings.value("DefaultX"), std::string("72.5"));
        const auto documents = readWithLibreOffice({target});
        QCOMPARE(documents.size(), std::size_t(1));
        const OdpDocument& deck = documents.front();
        QCOMPARE(deck.pages.size(), std::size_t(3));
        for (const OdpPage& page : deck.pages) {
            QCOMPARE(page.frames.size(), std::size_t(1));
            const OdpFrame& frame = page.frames.front();
            QVERIFY(qAbs(frame.x - 72.5 * cmPerPoint) < 0.011);
            QVERIFY(qAbs(frame.y + 60 * cmPerPoint) < 0.011);
            QVERIFY(qAbs(frame.width - 612 * cmPerPoint) < 0.011);
            QVERIFY(qAbs(frame.height - 792 * cmPerPoint) < 0.011);
        }
        // LibreOffice's binary import may append bytes after a picture; its start is the source.
        QVERIFY(deck.pages.front().frames.front().image.startsWith(first));
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
        QTemporaryDir output;
        makeTestImage(images.filePath("image1.jpg"), TestImage::Baseline, 1);

        RealEngine setup;
        QtSaveFileDialog saveDialog;
        FakeServices& f = setup.fakes;
        Form1 form({f.settings, f.messageBox, f.programEnd, f.shell, saveDialog, setup.engine, f.progress});
        form.start();
        chooseDirectory(images.path());
        const QString target = output.filePath("typed name.ppt");
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
        QCOMPARE(readWithLibreOffice({target}).front().pages.size(), std::size_t(1));
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

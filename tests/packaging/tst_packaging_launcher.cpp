#include "tests/support/Fakes.h"
#include "ui/DesktopIdentity.h"
#include "ui/Form1.h"
#include "ui/HelpDialog.h"
#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <initializer_list>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

const QString installedLauncher =
    QStringLiteral(KESTRANE_INSTALL_ROOT "/usr/share/applications/example.norvale.Kestrane.desktop");
const QString installedIcon = QStringLiteral(
    KESTRANE_INSTALL_ROOT "/usr/share/icons/hicolor/scalable/apps/example.norvale.Kestrane.svg");
const QString iconResource = QStringLiteral(":/icons/example.norvale.Kestrane.svg");

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// The value of a key in the launcher's [Desktop Entry] group, which is its only group.
QString launcherValue(const QString& key)
{
    const QString prefix = key + QLatin1Char('=');
    const QStringList lines = QString::fromUtf8(fileBytes(installedLauncher)).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

} // namespace

class TestPackagingLauncher : public QObject
{
    Q_OBJECT

private slots:
    void commentIsTheMainWindowsDescription()
    {
        FakeServices fakes;
        Form1 form(fakes.services());
        const QList<QLabel*> labels = form.findChildren<QLabel*>();
        QVERIFY(!labels.isEmpty());
        // The description is the caption at the top of the window.
        const QLabel* description = *std::min_element(
            labels.begin(), labels.end(), [](const QLabel* a, const QLabel* b) { return a->y() < b->y(); });
        QCOMPARE(launcherValue(QStringLiteral("Comment")), description->text());
    }

    void startsTheInstalledProgramWithTheInstalledIcon()
    {
        QCOMPARE(launcherValue(QStringLiteral("Exec")), QString("kestrane"));
        QCOMPARE(launcherValue(QStringLiteral("Icon")), QString("example.norvale.Kestrane"));
        QCOMPARE(fileBytes(installedIcon), fileBytes(iconResource));
    }

    void windowIconRendersAtEverySize()
    {
        const QIcon icon(iconResource);
        QVERIFY2(!icon.pixmap(16).isNull(), "the SVG icon does not load: Qt reads SVG with libqt6svg6");
        for (const int size : {16, 22, 32, 48, 64, 128, 256}) {
            const QImage image = icon.pixmap(size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // The slide's frame crosses the middle row: an icon that failed to load stays transparent.
            QVERIFY2(qAlpha(image.pixel(size * 12 / 128, size / 2)) > 0, qPrintable(QString::number(size)));
        }
    }

    void theProgramsWindowsShowTheIconAndBelongToTheLauncher()
    {
        setDesktopIdentity();
        FakeServices fakes;
        Form1 form(fakes.services());
        HelpDialog about(fakes.services());
        ProgressWindow progress;
        const QIcon icon(iconResource);
        for (const QWidget* window : std::initializer_list<const QWidget*>{&form, &about, &progress}) {
            QVERIFY(!window->windowIcon().isNull());
            for (const int size : {16, 48, 256}) {
                const QImage shown = window->windowIcon().pixmap(size).toImage();
                QCOMPARE(shown.size(), QSize(size, size));
                QCOMPARE(shown, icon.pixmap(size).toImage());
            }
        }
        QCOMPARE(QGuiApplication::desktopFileName() + QStringLiteral(".desktop"),
                 QFileInfo(installedLauncher).fileName());
        QCOMPARE(QApplication::applicationName(), launcherValue(QStringLiteral("Name")));
    }
};

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    TestPackagingLauncher test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_packaging_launcher.moc"

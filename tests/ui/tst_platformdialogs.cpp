#include "platform/QtMessageBox.h"
#include "platform/QtSaveFileDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace kestrane;

namespace {

// Runs `step` on the active modal window once one of the wanted kind shows; the step runs from
// inside the modal loop that shows it. A step still waiting goes with its owner.
template <typename Window>
void whenModal(QObject& owner, std::function<void(Window*)> step)
{
    auto* timer = new QTimer(&owner);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            step(window);
        }
    });
    timer->start(20);
}

} // namespace

class TestPlatformDialogs : public QObject
{
    Q_OBJECT

private slots:
    void theMessageBoxIsTitledWithOneOkAndNoIcon()
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::Critical;
        QList<QAbstractButton*> buttons;
        QObject steps;
        whenModal<QMessageBox>(steps, [&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        QtMessageBox().show("Invalid dimensions specified.");
        QCOMPARE(title, QString("Kestrane"));
        QCOMPARE(text, QString("Invalid dimensions specified."));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons.size(), 1);
    }

    void aBareNameGetsPptAndTheQuestionIsAboutTheFileWritten_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("asked"); // "<file>: <answer>" when asked whether to replace a file
        QTest::addColumn<QString>("saved"); // empty: nothing chosen

        QTest::newRow("a bare name") << "deck2" << QStringList() << ""
                                     << "deck2.ppt";
        QTest::newRow("a bare name, its .ppt replaced")
            << "deck2" << QStringList{"deck2.ppt"} << "deck2.ppt: Yes"
            << "deck2.ppt";
        QTest::newRow("a bare name, its .ppt kept") << "deck2" << QStringList{"deck2.ppt"} << "deck2.ppt: No"
                                                    << "";
        QTest::newRow("a bare name, a file of that name") << "deck2" << QStringList{"deck2"} << ""
                                                          << "deck2.ppt";
        QTest::newRow("a dot only in a folder") << "album.d/deck" << QStringList{"album.d/"} << ""
                                                << "album.d/deck.ppt";
        QTest::newRow("an extension kept") << "deck.v2" << QStringList() << ""
                                           << "deck.v2";
        QTest::newRow("an existing file kept") << "deck.pptx" << QStringList{"deck.pptx"} << "deck.pptx: No"
                                               << "";
    }

    // Refusing to replace returns to the dialog, which the test then cancels.
    void aBareNameGetsPptAndTheQuestionIsAboutTheFileWritten()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, existing);
        QFETCH(QString, asked);
        QFETCH(QString, saved);
        QTemporaryDir folder;
        for (const QString& name : existing) {
            if (name.endsWith('/'))
                QVERIFY(QDir(folder.path()).mkdir(name));
            else
                QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
        }

        QtSaveFileDialog dialog;
        dialog.setFileName("");
        QString question;
        QObject steps;
        whenModal<QFileDialog>(steps, [&](QFileDialog* fileDialog) {
            auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(folder.filePath(typed));
            whenModal<QMessageBox>(steps, [&](QMessageBox* box) {
                question = box->text();
                const bool replace = asked.endsWith(": Yes");
                QTest::mouseClick(box->button(replace ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
                if (!replace)
                    whenModal<QFileDialog>(steps, [](QFileDialog* again) { again->reject(); });
            });
            QTest::keyClick(name, Qt::Key_Return);
        });
        dialog.ShowSave();
        QCOMPARE(question, asked.isEmpty()
                               ? QString()
                               : asked.section(':', 0, 0) + " already exists.\nDo you want to replace it?");
        QCOMPARE(QString::fromStdString(dialog.fileName()),
                 saved.isEmpty() ? QString() : folder.filePath(saved));
    }

    void aCancelledSaveDialogKeepsTheNameItStartedFrom()
    {
        QtSaveFileDialog dialog;
        dialog.setFileName("/tmp/earlier.ppt");
        QObject steps;
        whenModal<QFileDialog>(steps, [](QFileDialog* fileDialog) { fileDialog->reject(); });
        dialog.ShowSave();
        QCOMPARE(dialog.fileName(), std::string("/tmp/earlier.ppt"));
    }
};

int main(int argc, char* argv[])
{
    // Qt's own dialog, so the test can type into it whatever desktop it runs on.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    TestPlatformDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platformdialogs.moc"

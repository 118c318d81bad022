#include "platform/QtMessageBox.h"
#include "platform/QtSaveFileDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
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
// inside the modal loop that shows it.
template <typename Window>
void whenModal(std::function<void(Window*)> step)
{
    auto* timer = new QTimer;
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
        whenModal<QMessageBox>([&](QMessageBox* box) {
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

    void theSaveDialogAsksBeforeReplacingAFile()
    {
        QTemporaryDir folder;
        const QString existing = folder.filePath("deck.ppt");
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QtSaveFileDialog dialog;
        dialog.setFileName("");
        QString question;
        whenModal<QFileDialog>([&](QFileDialog* fileDialog) {
            auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(existing);
            // Refusing to replace returns to the dialog; cancelling it then leaves the name as it was.
            whenModal<QMessageBox>([&, fileDialog](QMessageBox* box) {
                question = box->text();
                QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
                QTimer::singleShot(0, fileDialog, &QFileDialog::reject);
            });
            QTest::keyClick(name, Qt::Key_Return);
        });
        dialog.ShowSave();
        QVERIFY2(question.contains("deck.ppt"), qPrintable(question));
        QCOMPARE(dialog.fileName(), std::string());
    }

    void aCancelledSaveDialogKeepsTheNameItStartedFrom()
    {
        QtSaveFileDialog dialog;
        dialog.setFileName("/tmp/earlier.ppt");
        whenModal<QFileDialog>([](QFileDialog* fileDialog) { fileDialog->reject(); });
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

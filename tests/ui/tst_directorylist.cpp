#include "base/Error.h"
#include "ui/DirectoryList.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrane;

namespace {

// A folder tree to list: three subdirectories in mixed case, a hidden one and a file.
struct Tree
{
    Tree()
    {
        root = QDir(folder.path()).canonicalPath();
        for (const char* sub : {"Beta", "alpha", "Gamma/deep", ".hidden", "gone"})
            QDir(root).mkpath(sub);
        QFile file(root + "/file.txt");
        file.open(QIODevice::WriteOnly);
    }

    QTemporaryDir folder;
    QString root;
};

QStringList texts(const DirectoryList& list)
{
    QStringList result;
    for (int row = 0; row < list.count(); ++row)
        result << list.item(row)->text();
    return result;
}

// The opened directory's row: after the root and each ancestor.
int openedRow(const QString& path)
{
    return static_cast<int>(path.split('/', Qt::SkipEmptyParts).size());
}

} // namespace

class TestDirectoryList : public QObject
{
    Q_OBJECT

private slots:
    void showsAncestorsOpenedDirectoryAndSubdirectories()
    {
        Tree tree;
        DirectoryList list;
        list.setPath(QFile::encodeName(tree.root));

        const QStringList ancestors = tree.root.split('/', Qt::SkipEmptyParts);
        const int opened = openedRow(tree.root);
        QCOMPARE(list.path(), tree.root);
        const QStringList expected =
            QStringList{"/"} + ancestors + QStringList{"alpha", "Beta", "Gamma", "gone"};
        QCOMPARE(texts(list), expected);
        QCOMPARE(list.highlightedIndex(), opened);
        QCOMPARE(list.pathAt(0), QString("/"));
        QCOMPARE(list.pathAt(opened), tree.root);
        QCOMPARE(list.pathAt(opened - 1), QFileInfo(tree.root).path());
        QCOMPARE(list.pathAt(opened + 1), tree.root + "/alpha");
        QCOMPARE(list.pathAt(opened + 3), tree.root + "/Gamma");
        QCOMPARE(list.pathAt(list.count()), QString());
        QCOMPARE(list.pathAt(-1), QString());
        // Each ancestor one step deeper than its parent, the subdirectories one below the opened one.
        for (int row = 0; row <= opened; ++row)
            QCOMPARE(list.item(row)->data(DirectoryList::depthRole).toInt(), row);
        for (int row = opened + 1; row < list.count(); ++row)
            QCOMPARE(list.item(row)->data(DirectoryList::depthRole).toInt(), opened + 1);
    }

    void theRootEndsWithTheSeparatorAndNothingElseDoes()
    {
        DirectoryList list;
        list.setPath("/");
        QCOMPARE(list.path(), QString("/"));
        QCOMPARE(list.highlightedIndex(), 0);
        QCOMPARE(list.pathAt(0), QString("/"));
        QVERIFY(list.count() > 1);
        for (int row = 1; row < list.count(); ++row) {
            QVERIFY2(!list.pathAt(row).endsWith('/'), qPrintable(list.pathAt(row)));
            QCOMPARE(list.pathAt(row), "/" + list.item(row)->text());
        }
    }

    void acceptsPathsInAnyForm_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("opened");

        QTest::newRow("trailing separator") << "@/alpha/"
                                            << "@/alpha";
        QTest::newRow("parent step") << "@/alpha/../Beta"
                                     << "@/Beta";
        QTest::newRow("doubled separators") << "@//Gamma///deep"
                                            << "@/Gamma/deep";
        QTest::newRow("relative to the working directory") << "Gamma"
                                                           << "@/Gamma";
        QTest::newRow("dot") << "."
                             << "@";
        QTest::newRow("root written twice") << "//"
                                            << "/";
    }

    void acceptsPathsInAnyForm()
    {
        QFETCH(QString, given);
        QFETCH(QString, opened);
        Tree tree;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tree.root));
        DirectoryList list;
        list.setPath(QFile::encodeName(given.replace('@', tree.root)));
        QDir::setCurrent(previous);
        QCOMPARE(list.path(), opened.replace('@', tree.root));
    }

    void aDirectoryThatCannotBeReadFailsAndChangesNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");

        QTest::newRow("vanished") << "@/nothing"
                                  << "No such file or directory";
        QTest::newRow("a file") << "@/file.txt"
                                << "Not a directory";
    }

    void aDirectoryThatCannotBeReadFailsAndChangesNothing()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        Tree tree;
        path.replace('@', tree.root);
        DirectoryList list;
        list.setPath(QFile::encodeName(tree.root));
        const QStringList before = texts(list);
        try {
            list.setPath(QFile::encodeName(path));
            QFAIL("no failure");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::DriveUnavailable);
            QCOMPARE(QString::fromStdString(error.description()),
                     QString("The drive is not available: %1 (%2)").arg(path, reason));
        }
        QCOMPARE(list.path(), tree.root);
        QCOMPARE(texts(list), before);
    }
};

QTEST_MAIN(TestDirectoryList)

#include "tst_directorylist.moc"

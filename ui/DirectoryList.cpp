#include "ui/DirectoryList.h"

#include "base/Error.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <filesystem>

namespace kestrane {

namespace {

// Shifts each entry right by its depth, so the list reads as a path down to the opened
// directory with its subdirectories below.
class IndentingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem& option, const QModelIndex& index)
    {
        return index.data(DirectoryList::depthRole).toInt() * 2 * option.fontMetrics.averageCharWidth();
    }
};

QString childPath(const QString& parent, const QString& name)
{
    return parent.endsWith('/') ? parent + name : parent + '/' + name;
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// The directory's subdirectories by name, case-insensitively; hidden ones are left out.
QStringList subdirectories(const QString& directory, std::error_code& error)
{
    namespace fs = std::filesystem;
    fs::directory_iterator entry(fs::path(QFile::encodeName(directory).toStdString()), error);
    QStringList names;
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(entry->path().filename().native()));
        std::error_code typeError;
        if (!name.startsWith('.') && entry->is_directory(typeError))
            names << name;
    }
    if (error)
        return {};
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

} // namespace

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new IndentingDelegate(this));
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { openEntry(index.row()); });
}

void DirectoryList::setPath(const QString& path)
{
    const QString directory = absolute(path);
    if (const std::error_code error = open(directory))
        throw Error(ErrorCode::DriveUnavailable, directory.toStdString(), error.value());
}

bool DirectoryList::tryPath(const QString& path)
{
    return !open(absolute(path));
}

int DirectoryList::highlightedIndex() const
{
    return currentRow() >= 0 ? currentRow() : m_openedIndex;
}

QString DirectoryList::pathAt(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(pathRole).toString() : QString();
}

void DirectoryList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        openEntry(highlightedIndex());
    else
        QListWidget::keyPressEvent(event);
}

// Opening an entry is the list's own behaviour: one that cannot be read is no failure of the
// program.
void DirectoryList::openEntry(int index)
{
    if (open(absolute(pathAt(index))))
        QApplication::beep();
}

std::error_code DirectoryList::open(const QString& directory)
{
    std::error_code error;
    const QStringList names = subdirectories(directory, error);
    if (error)
        return error;

    const QIcon opened = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto addEntry = [this](const QIcon& icon, const QString& text, const QString& entryPath,
                                 int depth) {
        auto* entry = new QListWidgetItem(icon, text, this);
        entry->setData(pathRole, entryPath);
        entry->setData(depthRole, depth);
    };

    clear();
    QString reached = QStringLiteral("/");
    addEntry(opened, reached, reached, 0);
    const QStringList parts = directory.split('/', Qt::SkipEmptyParts);
    for (int depth = 1; depth <= parts.size(); ++depth) {
        reached = childPath(reached, parts[depth - 1]);
        addEntry(opened, parts[depth - 1], reached, depth);
    }
    m_openedIndex = count() - 1;
    for (const QString& name : names)
        addEntry(closed, name, childPath(directory, name), static_cast<int>(parts.size()) + 1);

    m_path = directory;
    setCurrentRow(m_openedIndex);
    scrollToItem(currentItem());
    return {};
}

} // namespace kestrane

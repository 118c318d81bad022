#include "ui/DirectoryList.h"

#include "base/Error.h"

#include <QApplication>
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

QByteArray childPath(const QByteArray& parent, const QByteArray& name)
{
    return parent.endsWith('/') ? parent + name : parent + '/' + name;
}

// The path with ".", ".." and doubled or trailing separators taken out, as written: links are
// not followed. Empty when a relative path cannot be resolved, the working directory being gone.
QByteArray absolute(const QByteArray& path)
{
    QByteArray full = path;
    if (!path.startsWith('/')) {
        std::error_code error;
        const std::filesystem::path working = std::filesystem::current_path(error);
        if (error)
            return {};
        full = QByteArray::fromStdString(working.native()) + '/' + path;
    }
    QByteArrayList parts;
    for (const QByteArray& part : full.split('/')) {
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (!part.isEmpty() && part != ".") {
            parts << part;
        }
    }
    return '/' + parts.join('/');
}

// The directory's subdirectories by name as shown, case-insensitively; hidden ones are left out.
QByteArrayList subdirectories(const QByteArray& directory, std::error_code& error)
{
    namespace fs = std::filesystem;
    fs::directory_iterator entry(fs::path(directory.toStdString()), error);
    QByteArrayList names;
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const QByteArray name = QByteArray::fromStdString(entry->path().filename().native());
        std::error_code typeError;
        if (!name.startsWith('.') && entry->is_directory(typeError))
            names << name;
    }
    if (error)
        return {};
    std::sort(names.begin(), names.end(), [](const QByteArray& a, const QByteArray& b) {
        const int order = QFile::decodeName(a).compare(QFile::decodeName(b), Qt::CaseInsensitive);
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

void DirectoryList::setPath(const QByteArray& path)
{
    const QByteArray directory = absolute(path);
    if (const std::error_code error = open(directory))
        throw Error(ErrorCode::DriveUnavailable, directory.toStdString(), error.value());
}

bool DirectoryList::tryPath(const QByteArray& path)
{
    return !open(absolute(path));
}

int DirectoryList::highlightedIndex() const
{
    return currentRow() >= 0 ? currentRow() : m_openedIndex;
}

bool DirectoryList::reread()
{
    const QByteArray highlighted = pathAt(highlightedIndex());
    if (open(m_path))
        return false;
    for (int row = 0; row < count(); ++row)
        if (pathAt(row) == highlighted)
            setCurrentRow(row);
    return true;
}

QByteArray DirectoryList::pathAt(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(pathRole).toByteArray() : QByteArray();
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

std::error_code DirectoryList::open(const QByteArray& directory)
{
    std::error_code error;
    const QByteArrayList names = subdirectories(directory, error);
    if (error)
        return error;

    const QIcon opened = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto addEntry = [this](const QIcon& icon, const QByteArray& name, const QByteArray& entryPath,
                                 int depth) {
        auto* entry = new QListWidgetItem(icon, QFile::decodeName(name), this);
        entry->setData(pathRole, entryPath);
        entry->setData(depthRole, depth);
    };

    clear();
    QByteArray reached("/");
    addEntry(opened, reached, reached, 0);
    const QByteArrayList parts = directory.split('/');
    int depth = 0;
    for (const QByteArray& part : parts) {
        if (part.isEmpty())
            continue;
        reached = childPath(reached, part);
        addEntry(opened, part, reached, ++depth);
    }
    m_openedIndex = count() - 1;
    for (const QByteArray& name : names)
        addEntry(closed, name, childPath(directory, name), depth + 1);

    m_path = directory;
    setCurrentRow(m_openedIndex);
    scrollToItem(currentItem());
    return {};
}

} // namespace kestrane

#pragma once

#include "base/Error.h"

#include <QListWidget>
#include <functional>

namespace kestrane {

// A directory list in the classic form: the ancestors of the opened directory from the root
// down, the opened directory, then its subdirectories, each indented one step deeper than its
// parent. A single click or the arrow keys highlight an entry; a double click opens it.
// Entries are addressed by their row, the opened directory included.
class DirectoryList : public QListWidget
{
    Q_OBJECT

public:
    // Runs a reaction of the list to the user, so that a failure in it is reported like any
    // other failure of a window's handler.
    using Guard = std::function<void(const std::function<void()>&)>;

    // The data roles of an entry: its full path and how many steps it is indented.
    static constexpr int pathRole = Qt::UserRole;
    static constexpr int depthRole = Qt::UserRole + 1;

    explicit DirectoryList(Guard guard, QWidget* parent = nullptr);

    // Opens a directory, relative paths taken from the working directory; a drive's text opens
    // its mount point. The opened directory becomes the highlighted entry. Throws an Error
    // (DriveUnavailable) when the directory cannot be read; the list then stays as it was.
    void setPath(const QString& path);

    // The opened directory: "/" for the root, otherwise without a trailing separator.
    QString path() const { return m_path; }

    // The highlighted entry's row; the opened directory's when nothing is highlighted.
    int highlightedIndex() const;

    // The full path of the entry at a row; empty for a row that does not exist.
    QString pathAt(int index) const;

private:
    void open(const QString& path, ErrorCode failure);

    Guard m_guard;
    QString m_path;
    int m_openedIndex = -1;
};

} // namespace kestrane

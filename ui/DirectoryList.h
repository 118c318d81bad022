#pragma once

#include <QListWidget>
#include <system_error>

namespace kestrane {

// A directory list in the classic form: the ancestors of the opened directory from the root
// down, the opened directory, then its subdirectories, each indented one step deeper than its
// parent. A single click or the arrow keys highlight an entry; a double click or Return opens
// it. A directory that cannot be opened leaves the list as it was, with a beep. Entries are
// addressed by their row, the opened directory included. Paths are the file system's bytes,
// whether or not they are UTF-8; only the texts shown are decoded.
class DirectoryList : public QListWidget
{
    Q_OBJECT

public:
    // The data roles of an entry: its full path (bytes) and how many steps it is indented.
    static constexpr int pathRole = Qt::UserRole;
    static constexpr int depthRole = Qt::UserRole + 1;

    explicit DirectoryList(QWidget* parent = nullptr);

    // Opens a directory, relative paths taken from the working directory; a drive's text opens
    // its mount point. The opened directory becomes the highlighted entry. Throws an Error
    // (DriveUnavailable) when the directory cannot be read; the list then stays as it was.
    void setPath(const QByteArray& path);

    // Opens a directory as setPath does, and answers whether it could be read.
    bool tryPath(const QByteArray& path);

    // The opened directory: "/" for the root, otherwise without a trailing separator.
    QByteArray path() const { return m_path; }

    // Reads the opened directory again, the highlighted entry kept where it is still listed,
    // otherwise the opened directory highlighted; answers whether it could be read.
    bool reread();

    // The highlighted entry's row; the opened directory's when nothing is highlighted.
    int highlightedIndex() const;

    // The full path of the entry at a row; empty for a row that does not exist.
    QByteArray pathAt(int index) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openEntry(int index);
    std::error_code open(const QByteArray& directory);

    QByteArray m_path;
    int m_openedIndex = -1;
};

} // namespace kestrane

// The directory list: the current directory with the chain of directories
// above it and the subdirectories below it, as the classic list control shows
// them. Double-clicking an entry makes it the current directory.
//
// Each drive's current directory is its root ("/" for drive C, the mount
// point for any other drive): the program never changes directory, so that
// is where every drive stays.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include <QListWidget>

class DirListBox : public QListWidget {
    Q_OBJECT

public:
    // Starts on drive C's current directory, "/".
    explicit DirListBox(QWidget* parent = nullptr);

    // The current directory, absolute, without a trailing "/" (but for "/").
    std::string Path() const { return path_; }
    // Makes vNewValue the current directory and raises the change event when
    // that changes it. A drive alone ("c:", or a drive list entry such as
    // "c: /") stands for that drive's current directory; a relative path is
    // taken from the process working directory. A path that names no
    // directory raises run-time error 76 (Path not found), a letter with no
    // drive 68 (Device unavailable), a directory that cannot be read the error
    // of the read; in every such case nothing changes.
    void SetPath(const std::string& vNewValue);

    // Opens the entry in row as a double-click does. A failure goes to the
    // error handler, since no caller is there to receive it.
    void OpenEntry(int row);
    void SetErrorHandler(std::function<void(std::exception_ptr)> handler) {
        errorHandler_ = std::move(handler);
    }

    // The full path behind the entry in row.
    std::string EntryPath(int row) const;

signals:
    // The path changed, by the operator or by code.
    void changed();

private:
    void Fill(const std::vector<std::string>& subdirectories);

    std::string path_;
    std::function<void(std::exception_ptr)> errorHandler_;
};

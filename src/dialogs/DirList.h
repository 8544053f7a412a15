// The directory list's state and rules, free of any window toolkit: the
// current directory with the chain of directories above it and the
// subdirectories below it, as the classic list control shows them.
//
// Each drive's current directory is its root ("/" for drive C, the mount
// point for any other drive): the program never changes directory, so that
// is where every drive stays.
//
// A front end shows Entries(), one row each: the name indented by its level,
// an open folder for the chain down to the current directory (the row at
// ListIndex(), selected) and a closed one for the subdirectories below it. It
// redraws them when the redraw callback runs and forwards a double-click on
// a row to OpenEntry(), after the click has been delivered (opening rebuilds
// the rows).
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace dialogs {

struct DirEntry {
    std::string name;  // "/" for the root, else the directory's own name
    std::string path;  // the full path it stands for
    int level;         // indentation: 0 for the root, one more per level
    bool open;         // the current directory or one above it
};

class DirList {
public:
    // Starts on drive C's current directory, "/".
    DirList();

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

    const std::vector<DirEntry>& Entries() const { return entries_; }
    int ListCount() const { return static_cast<int>(entries_.size()); }
    // The row of the current directory.
    int ListIndex() const { return currentRow_; }
    // The full path behind the entry in row; empty outside the list.
    std::string EntryPath(int row) const;

    // Adds a handler of the change event (the path changed, by the operator
    // or by code).
    void AddChangeHandler(std::function<void()> handler) { changeHandlers_.push_back(std::move(handler)); }
    // The front end's redraw: runs after the entries were rebuilt, before the
    // change event.
    void SetRedraw(std::function<void()> redraw) { redraw_ = std::move(redraw); }

private:
    void Fill(const std::vector<std::string>& subdirectories);

    std::string path_;
    std::vector<DirEntry> entries_;
    int currentRow_ = -1;
    std::function<void(std::exception_ptr)> errorHandler_;
    std::vector<std::function<void()>> changeHandlers_;
    std::function<void()> redraw_;
};

}  // namespace dialogs

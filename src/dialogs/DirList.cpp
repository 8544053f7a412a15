#include "DirList.h"

#include "Drives.h"

namespace dialogs {

DirList::DirList() : path_(platform::drives::StartDirectory()) {
    Fill(platform::drives::Subdirectories(path_));
}

void DirList::SetPath(const std::string& vNewValue) {
    const std::string target = platform::drives::DirectoryOf(vNewValue);
    const std::vector<std::string> subdirectories = platform::drives::Subdirectories(target);
    const bool changes = target != path_;
    path_ = target;
    Fill(subdirectories);
    if (redraw_) redraw_();
    if (changes)
        for (std::size_t i = 0; i < changeHandlers_.size(); ++i) changeHandlers_[i]();
}

void DirList::OpenEntry(int row) {
    if (row < 0 || row >= ListCount()) return;
    try {
        SetPath(EntryPath(row));
    } catch (...) {
        if (errorHandler_) errorHandler_(std::current_exception());
    }
}

std::string DirList::EntryPath(int row) const {
    return row >= 0 && row < ListCount() ? entries_[static_cast<std::size_t>(row)].path : std::string();
}

void DirList::Fill(const std::vector<std::string>& subdirectories) {
    entries_.clear();
    // The chain from the root down to the current directory, one level of
    // indentation each, then the subdirectories one level deeper. Never
    // through std::filesystem::path, which on Windows reads narrow text in
    // the ANSI code page.
    int level = 0;
    for (const auto& directory : platform::drives::Chain(path_))
        entries_.push_back({platform::drives::NameOf(directory), directory, level++, true});
    currentRow_ = ListCount() - 1;
    for (const auto& name : subdirectories)
        entries_.push_back({name, platform::drives::Join(path_, name), level, false});
}

}  // namespace dialogs

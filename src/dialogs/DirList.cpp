#include "DirList.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>

#include "RuntimeError.h"
#ifdef _WIN32
#include "win32/Drives.h"
#endif

namespace fs = std::filesystem;

namespace dialogs {
namespace {

// "c:" alone, or followed by a space and anything (a drive list entry).
bool IsDriveAlone(const std::string& text) {
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
           (text.size() == 2 || text[2] == ' ');
}

#ifndef _WIN32
std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
#endif

// The subdirectories of directory, sorted without regard to case; hidden
// ones (a leading ".") are left out, as the classic control leaves out
// hidden directories. Throws the run-time error of a directory that cannot
// be read.
std::vector<std::string> Subdirectories(const std::string& directory) {
#ifdef _WIN32
    return win32::Subdirectories(directory);
#else
    DIR* handle = opendir(directory.c_str());
    if (!handle) {
        throw platform::RuntimeError(platform::RuntimeErrorFromErrno(errno),
                                     "cannot read '" + directory + "'");
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        std::error_code ec;
        if (fs::is_directory(fs::path(directory) / name, ec)) names.push_back(name);
    }
    closedir(handle);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerCase(a), lb = LowerCase(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
#endif
}

}  // namespace

#ifdef _WIN32
// Drive C's current directory, or the first drive's on a machine without C.
DirList::DirList() {
    const std::vector<std::string> roots = win32::LogicalDrives();
    path_ = win32::FullPath(!win32::RootOfDrive("C:").empty() || roots.empty() ? "C:"
                                                                               : roots.front().substr(0, 2));
    Fill(Subdirectories(path_));
}
#else
DirList::DirList() : path_("/") {
    Fill(Subdirectories(path_));
}
#endif

void DirList::SetPath(const std::string& vNewValue) {
    std::string target;
#ifdef _WIN32
    // A drive alone stands for its current directory, which the full form of
    // its letter and colon gives.
    if (IsDriveAlone(vNewValue) && win32::RootOfDrive(vNewValue).empty())
        throw platform::RuntimeError(platform::rt::DeviceUnavailable, "no such drive: '" + vNewValue + "'");
    target = win32::FullPath(IsDriveAlone(vNewValue) ? vNewValue.substr(0, 2) : vNewValue);
    if (target.empty() || !win32::IsDirectory(target))
        throw platform::RuntimeError(platform::rt::PathNotFound, "path not found: '" + vNewValue + "'");
#else
    if (IsDriveAlone(vNewValue)) {
        if (std::toupper(static_cast<unsigned char>(vNewValue[0])) != 'C') {
            throw platform::RuntimeError(platform::rt::DeviceUnavailable,
                                         "no such drive: '" + vNewValue + "'");
        }
        target = "/";
    } else {
        std::error_code ec;
        const fs::path full = vNewValue.empty() ? fs::path() : fs::absolute(vNewValue, ec);
        if (vNewValue.empty() || ec) {
            throw platform::RuntimeError(platform::rt::PathNotFound, "path not found: '" + vNewValue + "'");
        }
        target = full.lexically_normal().string();
        if (target.size() > 1 && target.back() == '/') target.pop_back();
    }
    std::error_code ec;
    if (!fs::is_directory(target, ec)) {
        throw platform::RuntimeError(platform::rt::PathNotFound, "path not found: '" + vNewValue + "'");
    }
#endif
    const std::vector<std::string> subdirectories = Subdirectories(target);
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
#ifdef _WIN32
    // Never through std::filesystem::path, which reads narrow text in the
    // ANSI code page.
    int depth = 0;
    for (const auto& directory : win32::Chain(path_))
        entries_.push_back({win32::NameOf(directory), directory, depth++, true});
    currentRow_ = ListCount() - 1;
    for (const auto& name : subdirectories)
        entries_.push_back({name, win32::Join(path_, name), depth, false});
#else
    // The chain from the root down to the current directory, one level of
    // indentation each, then the subdirectories one level deeper.
    std::vector<fs::path> chain;
    for (fs::path p = path_;; p = p.parent_path()) {
        chain.push_back(p);
        if (p == p.root_path() || p.parent_path() == p) break;
    }
    std::reverse(chain.begin(), chain.end());
    int level = 0;
    for (const auto& directory : chain) {
        const std::string name = directory == directory.root_path() ? "/" : directory.filename().string();
        entries_.push_back({name, directory.string(), level, true});
        ++level;
    }
    currentRow_ = ListCount() - 1;
    for (const auto& name : subdirectories)
        entries_.push_back({name, (fs::path(path_) / name).string(), level, false});
#endif
}

}  // namespace dialogs

// Drives on Windows: the system's own; see Drives.h.
#include <windows.h>

#include <algorithm>

#include "Drives.h"
#include "RuntimeError.h"
#include "WideText.h"

namespace platform::drives {
namespace {

// The length of a path's root: "C:\" (3), or "\\server\share\" for a
// network path; 0 for a path without one.
std::size_t RootLength(const std::string& path) {
    if (StartsWithDriveLetter(path) && path.size() >= 3 && path[2] == '\\') return 3;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        const std::size_t server = path.find('\\', 2);
        if (server == std::string::npos) return path.size();
        const std::size_t share = path.find('\\', server + 1);
        return share == std::string::npos ? path.size() : share + 1;
    }
    return 0;
}

// No message box of the system's own about a drive without its medium: the
// caller reports the failure.
class QuietCriticalErrors {
public:
    QuietCriticalErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
    ~QuietCriticalErrors() { SetThreadErrorMode(previous_, nullptr); }

private:
    DWORD previous_ = 0;
};

// The roots of the machine's drives in letter order ("A:\", "C:\", ...).
std::vector<std::string> LogicalDrives() {
    std::wstring roots(128, L'\0');
    DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
    if (length > roots.size()) {
        roots.assign(length, L'\0');
        length = GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
    }
    // "A:\", "C:\", ... one after another, each ended by a NUL.
    std::vector<std::string> result;
    roots.resize(std::min<std::size_t>(length, roots.size()));
    for (std::size_t at = 0; at < roots.size();) {
        std::size_t end = roots.find(L'\0', at);
        if (end == std::wstring::npos) end = roots.size();
        if (end > at) result.push_back(Utf8FromWide(std::wstring_view(roots).substr(at, end - at)));
        at = end + 1;
    }
    return result;
}

// The full form of path: a relative path is taken from the current
// directory, a drive alone ("d:") stands for that drive's current
// directory. No trailing backslash but for a root. Empty when path cannot
// name anything.
std::string FullPath(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return {};
    const std::wstring wide = WideFromUtf8(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    std::string result = Utf8FromWide(full);
    if (result.size() > RootLength(result) && result.back() == '\\') result.pop_back();
    // A drive's root keeps its backslash; its letter is written in capitals.
    if (StartsWithDriveLetter(result) && result[0] >= 'a')
        result[0] = static_cast<char>(result[0] - 'a' + 'A');
    return result;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::vector<std::string> Roots() {
    return LogicalDrives();
}

std::string EntryText(const std::string& root) {
    std::string text = root.substr(0, 2);
    text[0] = static_cast<char>(text[0] >= 'A' && text[0] <= 'Z' ? text[0] - 'A' + 'a' : text[0]);
    const std::wstring wideRoot = WideFromUtf8(root);
    const UINT type = GetDriveTypeW(wideRoot.c_str());
    if (type == DRIVE_FIXED || type == DRIVE_RAMDISK) {
        QuietCriticalErrors quiet;
        wchar_t label[MAX_PATH + 1] = {};
        if (GetVolumeInformationW(wideRoot.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                                  0) &&
            label[0] != L'\0') {
            text += " [" + Utf8FromWide(label) + "]";
        }
    }
    return text;
}

std::string RootOfDrive(const std::string& drive) {
    if (!StartsWithDriveLetter(drive)) return {};
    const char letter = static_cast<char>(drive[0] >= 'a' ? drive[0] - 'a' + 'A' : drive[0]);
    const std::string root = std::string(1, letter) + ":\\";
    for (const auto& listed : LogicalDrives())
        if (listed == root) return root;
    return {};
}

// A path's drive is the letter of its full form; a network path has none.
std::string RootOfPath(const std::string& path, const std::vector<std::string>&) {
    const std::string full = FullPath(path);
    if (!StartsWithDriveLetter(full)) return {};
    return RootOfDrive(full.substr(0, 2));
}

// Drive C's current directory, or the first drive's on a machine without C.
std::string StartDirectory() {
    const std::vector<std::string> roots = LogicalDrives();
    return FullPath(!RootOfDrive("C:").empty() || roots.empty() ? "C:" : roots.front().substr(0, 2));
}

std::string DirectoryOf(const std::string& path) {
    // A drive alone stands for its current directory, which the full form of
    // its letter and colon gives.
    if (IsDriveAlone(path) && RootOfDrive(path).empty())
        throw RuntimeError(rt::DeviceUnavailable, "no such drive: '" + path + "'");
    const std::string target = FullPath(IsDriveAlone(path) ? path.substr(0, 2) : path);
    if (target.empty() || !IsDirectory(target))
        throw RuntimeError(rt::PathNotFound, "path not found: '" + path + "'");
    return target;
}

std::vector<std::string> Subdirectories(const std::string& directory) {
    QuietCriticalErrors quiet;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WideFromUtf8(Join(directory, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // An empty drive has no entry at all, not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return {};
        throw RuntimeError(RuntimeErrorFromWin32(error), "cannot read '" + directory + "'");
    }
    std::vector<std::wstring> names;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return lstrcmpiW(a.c_str(), b.c_str()) < 0;
    });
    std::vector<std::string> result;
    result.reserve(names.size());
    for (const auto& name : names) result.push_back(Utf8FromWide(name));
    return result;
}

std::vector<std::string> Chain(const std::string& directory) {
    const std::size_t root = RootLength(directory);
    std::vector<std::string> chain;
    if (root == 0) return {directory};
    std::string rootPath = directory.substr(0, root);
    chain.push_back(rootPath);
    for (std::size_t at = directory.find('\\', root); at != std::string::npos;
         at = directory.find('\\', at + 1))
        chain.push_back(directory.substr(0, at));
    if (directory.size() > root) chain.push_back(directory);
    return chain;
}

std::string NameOf(const std::string& directory) {
    const std::size_t root = RootLength(directory);
    if (directory.size() <= root) return directory;
    return directory.substr(directory.find_last_of('\\') + 1);
}

std::string Join(const std::string& directory, const std::string& name) {
    return !directory.empty() && directory.back() == '\\' ? directory + name : directory + "\\" + name;
}

std::int32_t ProbeDrive(const std::string& root, std::string& reason) {
    QuietCriticalErrors quiet;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WideFromUtf8(Join(root, "*")).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return 0;
    const std::int32_t number = RuntimeErrorFromWin32(error);
    reason = "error " + std::to_string(number);
    return number;
}

}  // namespace platform::drives

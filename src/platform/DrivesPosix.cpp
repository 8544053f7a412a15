// Drives for a system without drive letters; see Drives.h.
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Drives.h"
#include "RuntimeError.h"
#include "TextCase.h"

namespace fs = std::filesystem;

namespace platform::drives {

namespace {

// The run-time error for a drive that cannot be listed. A mount point that
// is gone means the device is not there (68); anything else is the error of
// the listing itself.
std::int32_t DriveErrorNumber(int errnoValue) {
    if (errnoValue == ENOENT || errnoValue == ENOTDIR) return rt::DeviceUnavailable;
    return RuntimeErrorFromErrno(errnoValue);
}

}  // namespace

std::vector<std::string> Roots() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> result;
    // Bind mounts of single files (containers mount /etc/hosts that way) are
    // no drives.
    for (const auto& mountPoint : ParseMounts(text.str())) {
        std::error_code ec;
        if (mountPoint == "/" || fs::is_directory(mountPoint, ec)) result.push_back(mountPoint);
    }
    return result;
}

std::string EntryText(const std::string& root) {
    return root == "/" ? "c: /" : root;
}

std::string RootOfDrive(const std::string& drive) {
    if (StartsWithDriveLetter(drive)) return UpperAscii(drive[0]) == 'C' ? "/" : "";
    return drive;
}

std::string RootOfPath(const std::string& path, const std::vector<std::string>& roots) {
    if (StartsWithDriveLetter(path)) return RootOfDrive(path.substr(0, 2));
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    if (ec) return {};
    std::string normal = full.lexically_normal().string();
    if (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    // The deepest mount point that holds the path.
    const std::string* best = nullptr;
    for (const auto& root : roots) {
        if (IsUnder(normal, root) && (!best || root.size() > best->size())) best = &root;
    }
    return best ? *best : std::string();
}

std::string StartDirectory() {
    return "/";
}

std::string DirectoryOf(const std::string& path) {
    std::string target;
    if (IsDriveAlone(path)) {
        if (UpperAscii(path[0]) != 'C')
            throw RuntimeError(rt::DeviceUnavailable, "no such drive: '" + path + "'");
        target = "/";
    } else {
        std::error_code ec;
        const fs::path full = path.empty() ? fs::path() : fs::absolute(path, ec);
        if (path.empty() || ec) throw RuntimeError(rt::PathNotFound, "path not found: '" + path + "'");
        target = full.lexically_normal().string();
        if (target.size() > 1 && target.back() == '/') target.pop_back();
    }
    std::error_code ec;
    if (!fs::is_directory(target, ec)) throw RuntimeError(rt::PathNotFound, "path not found: '" + path + "'");
    return target;
}

std::vector<std::string> Subdirectories(const std::string& directory) {
    DIR* handle = opendir(directory.c_str());
    if (!handle) throw RuntimeError(RuntimeErrorFromErrno(errno), "cannot read '" + directory + "'");
    std::vector<std::string> names;
    while (dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        std::error_code ec;
        if (fs::is_directory(fs::path(directory) / name, ec)) names.push_back(name);
    }
    closedir(handle);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerAscii(a), lb = LowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

std::vector<std::string> Chain(const std::string& directory) {
    std::vector<std::string> chain;
    for (fs::path p = directory;; p = p.parent_path()) {
        chain.push_back(p.string());
        if (p == p.root_path() || p.parent_path() == p) break;
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::string NameOf(const std::string& directory) {
    const fs::path path = directory;
    return path == path.root_path() ? "/" : path.filename().string();
}

std::string Join(const std::string& directory, const std::string& name) {
    return (fs::path(directory) / name).string();
}

std::int32_t ProbeDrive(const std::string& root, std::string& reason) {
    std::int32_t number = 0;
    if (DIR* handle = opendir(root.c_str())) {
        errno = 0;
        if (!readdir(handle) && errno != 0) number = DriveErrorNumber(errno);
        const int readError = errno;
        closedir(handle);
        if (number != 0) reason = std::strerror(readError);
    } else {
        const int openError = errno;
        number = DriveErrorNumber(openError);
        reason = std::strerror(openError);
    }
    return number;
}

}  // namespace platform::drives

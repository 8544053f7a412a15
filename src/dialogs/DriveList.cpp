#include "DriveList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "RuntimeError.h"
#ifdef _WIN32
#include "win32/Drives.h"
#endif

namespace dialogs {

namespace {

bool StartsWithDriveLetter(const std::string& text) {
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

#ifndef _WIN32
char UpperLetter(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
#endif

// The kernel writes space, tab, newline and backslash in a mount point as
// three-digit octal escapes ("\040").
std::string DecodeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// File systems that hold no files of their own for the operator to pick.
bool IsPseudoFileSystem(const std::string& type) {
    static const std::set<std::string> pseudo = {
        "autofs", "binfmt_misc", "bpf",      "cgroup",          "cgroup2",     "configfs",  "debugfs",
        "devpts", "devtmpfs",    "efivarfs", "fusectl",         "hugetlbfs",   "mqueue",    "nsfs",
        "proc",   "pstore",      "ramfs",    "rpc_pipefs",      "securityfs",  "selinuxfs", "sysfs",
        "tmpfs",  "tracefs",     "squashfs", "fuse.gvfsd-fuse", "fuse.portal", "nfsd",
    };
    return pseudo.count(type) > 0;
}

bool IsUnder(const std::string& path, const std::string& dir) {
    if (dir == "/") return !path.empty() && path[0] == '/';
    return path == dir ||
           (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/');
}

bool IsSystemMount(const std::string& mountPoint) {
    // /run is left in: removable media are mounted under /run/media.
    for (const char* dir : {"/proc", "/sys", "/dev"}) {
        if (IsUnder(mountPoint, dir)) return true;
    }
    return false;
}

std::string EntryText(const std::string& mountPoint) {
#ifdef _WIN32
    // Windows has real drive letters; the "mount points" are their roots.
    return win32::DriveEntryText(mountPoint);
#else
    return mountPoint == "/" ? "c: /" : mountPoint;
#endif
}

}  // namespace

DriveList::DriveList() {
    SetDrives(MountedFileSystems());
}

void DriveList::SetDrives(const std::vector<std::string>& mountPoints) {
    const std::string previous = index_ >= 0 ? DriveOfEntry(Drive()) : std::string();
    mountPoints_ = mountPoints;
    entries_.clear();
    for (const auto& mountPoint : mountPoints_) entries_.push_back(EntryText(mountPoint));
    index_ = -1;
    const int kept = previous.empty() ? -1 : IndexOfDrive(previous);
    index_ = kept >= 0 ? kept : (entries_.empty() ? -1 : 0);
    Redraw();
}

std::string DriveList::List(int index) const {
    return index >= 0 && index < ListCount() ? entries_[static_cast<std::size_t>(index)] : std::string();
}

void DriveList::SetListIndex(int index) {
    if (index < 0 || index >= ListCount()) index = -1;
    if (index == index_) return;
    index_ = index;
    Redraw();
    for (std::size_t i = 0; i < changeHandlers_.size(); ++i) changeHandlers_[i]();
}

std::string DriveList::Drive() const {
    return List(index_);
}

void DriveList::Redraw() const {
    if (redraw_) redraw_();
}

void DriveList::SetDrive(const std::string& vNewValue) {
    const std::string drive = DriveOfPath(vNewValue);
    const int index = drive.empty() ? -1 : IndexOfDrive(drive);
    if (index < 0)
        throw platform::RuntimeError(platform::rt::DeviceUnavailable, "no such drive: '" + vNewValue + "'");
    SetListIndex(index);
}

std::string DriveList::DriveOfEntry(const std::string& entryText) {
    return StartsWithDriveLetter(entryText) ? entryText.substr(0, 2) : entryText;
}

std::string DriveList::MountPointOfDrive(const std::string& drive) {
#ifdef _WIN32
    return win32::RootOfDrive(drive);
#else
    if (StartsWithDriveLetter(drive)) return UpperLetter(drive[0]) == 'C' ? "/" : "";
    return drive;
#endif
}

int DriveList::IndexOfDrive(const std::string& drive) const {
    const std::string mountPoint = MountPointOfDrive(drive);
    if (mountPoint.empty()) return -1;
    for (std::size_t i = 0; i < mountPoints_.size(); ++i) {
        if (mountPoints_[i] == mountPoint) return static_cast<int>(i);
    }
    return -1;
}

std::string DriveList::DriveOfPath(const std::string& path) const {
    if (path.empty()) return {};
#ifdef _WIN32
    // A path's drive is the letter of its full form; a network path has none.
    const std::string full = win32::FullPath(path);
    if (!StartsWithDriveLetter(full)) return {};
    const int letterIndex = IndexOfDrive(full.substr(0, 2));
    return letterIndex >= 0 ? DriveOfEntry(List(letterIndex)) : std::string();
#else
    if (StartsWithDriveLetter(path)) {
        const int index = IndexOfDrive(path.substr(0, 2));
        return index >= 0 ? DriveOfEntry(List(index)) : std::string();
    }
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec) return {};
    std::string normal = full.lexically_normal().string();
    if (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    int best = -1;
    for (std::size_t i = 0; i < mountPoints_.size(); ++i) {
        if (IsUnder(normal, mountPoints_[i]) &&
            (best < 0 || mountPoints_[i].size() > mountPoints_[static_cast<std::size_t>(best)].size())) {
            best = static_cast<int>(i);
        }
    }
    return best >= 0 ? DriveOfEntry(List(best)) : std::string();
#endif
}

std::vector<std::string> DriveList::ParseMounts(const std::string& mountsText) {
    std::set<std::string> others;
    std::istringstream lines(mountsText);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type)) continue;
        mountPoint = DecodeMountField(mountPoint);
        if (mountPoint.empty() || mountPoint[0] != '/' || mountPoint == "/") continue;
        if (IsPseudoFileSystem(type) || IsSystemMount(mountPoint)) continue;
        others.insert(mountPoint);
    }
    std::vector<std::string> result{"/"};
    result.insert(result.end(), others.begin(), others.end());
    return result;
}

std::vector<std::string> DriveList::MountedFileSystems() {
#ifdef _WIN32
    return win32::LogicalDrives();
#else
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> result;
    // Bind mounts of single files (containers mount /etc/hosts that way) are
    // no drives.
    for (const auto& mountPoint : ParseMounts(text.str())) {
        std::error_code ec;
        if (mountPoint == "/" || std::filesystem::is_directory(mountPoint, ec)) result.push_back(mountPoint);
    }
    return result;
#endif
}

}  // namespace dialogs

// Drive letters for a system that has none; see CurrentDrive.h.
#include "CurrentDrive.h"

#include <sys/statvfs.h>

#include <limits>
#include <map>

#include "TextCase.h"

namespace platform {

namespace {

struct DriveTable {
    char current = 'C';
    std::map<char, std::string> assigned;  // letters other than C
};

DriveTable& drives() {
    static DriveTable table;
    return table;
}

std::string rootOf(char letter) {
    if (letter == 'C') return "/";
    auto it = drives().assigned.find(letter);
    return it != drives().assigned.end() ? it->second : std::string();
}

}  // namespace

std::string CurrentDirectory() {
    return std::string(1, drives().current) + ":/";
}

bool ChangeDrive(const std::string& drive) {
    if (drive.empty()) return true;
    if (!IsAsciiLetter(drive[0])) return false;
    const char letter = UpperAscii(drive[0]);
    if (rootOf(letter).empty()) return false;
    drives().current = letter;
    return true;
}

bool SubstDrive(char letter, const std::string& directory) {
    if (!IsAsciiLetter(letter)) return false;
    letter = UpperAscii(letter);
    if (letter == 'C') return false;
    if (directory.empty()) {
        drives().assigned.erase(letter);
        if (drives().current == letter) drives().current = 'C';
    } else {
        drives().assigned[letter] = directory;
    }
    return true;
}

std::int64_t DiskSpaceFree() {
    const std::string root = rootOf(drives().current);
    return root.empty() ? -1 : DiskSpaceFreeAt(root);
}

std::optional<std::int64_t> DiskSpaceFreeOfFullPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return std::nullopt;
    return DiskSpaceFreeAt(path);
}

std::int64_t DiskSpaceFreeAt(const std::string& path) {
    struct statvfs info;
    if (path.empty() || statvfs(path.c_str(), &info) != 0) return -1;
    // Blocks available to an unprivileged process, as a quota-aware query
    // reports them; never -1 and never past the 64-bit range.
    const auto blocks = static_cast<unsigned long long>(info.f_bavail);
    const auto blockSize = static_cast<unsigned long long>(info.f_frsize ? info.f_frsize : info.f_bsize);
    constexpr auto maximum = static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
    if (blockSize != 0 && blocks > maximum / blockSize) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(blocks * blockSize);
}

}  // namespace platform

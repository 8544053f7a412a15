// The mount table's text, read the same way on every system.
#include "Drives.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "TextCase.h"

namespace platform::drives {

namespace {

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

bool IsSystemMount(const std::string& mountPoint) {
    // /run is left in: removable media are mounted under /run/media.
    for (const char* dir : {"/proc", "/sys", "/dev"}) {
        if (IsUnder(mountPoint, dir)) return true;
    }
    return false;
}

}  // namespace

bool StartsWithDriveLetter(const std::string& text) {
    return text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':';
}

bool IsDriveAlone(const std::string& text) {
    return StartsWithDriveLetter(text) && (text.size() == 2 || text[2] == ' ');
}

bool IsUnder(const std::string& path, const std::string& dir) {
    if (dir == "/") return !path.empty() && path[0] == '/';
    return path == dir ||
           (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/');
}

std::vector<std::string> ParseMounts(const std::string& mountsText) {
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

}  // namespace platform::drives

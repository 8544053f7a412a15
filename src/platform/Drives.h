// Drives and directories as the directory chooser's lists see them.
//
// On Windows (DrivesWin32.cpp) these are the machine's drive letters, each
// drive's current directory and the folders of a directory, all through the
// wide API; paths are UTF-8 and use backslashes.
//
// Elsewhere (DrivesPosix.cpp) a drive is a mounted file system: drive C
// stands for the root file system "/", and every other one is known by its
// mount point; each drive's current directory is its root, since the program
// never changes directory. Paths use "/".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::drives {

// The roots of the drives: on Windows the machine's drives in letter order
// ("A:\", "C:\", ...); elsewhere "/" first, then the mount points of the file
// systems that hold files for the operator to pick, from this process's
// mount table, keeping only directories.
std::vector<std::string> Roots();

// Whether text starts with a drive letter and a colon ("c:", "D:\\x").
bool StartsWithDriveLetter(const std::string& text);
// "c:" alone, or followed by a space and anything (a drive list entry).
bool IsDriveAlone(const std::string& text);

// The mount points of a mount table's text (the format of /proc/self/mounts):
// "/" first, then the others sorted, without pseudo and system file systems
// (/proc, /sys, /dev) and without duplicates.
std::vector<std::string> ParseMounts(const std::string& mountsText);

// Whether path is dir or lies below it ("/" holds every absolute path).
bool IsUnder(const std::string& path, const std::string& dir);

// The drive list's entry for a root. On Windows the letter in lower case and
// its colon, then, for a fixed drive with a volume label, a space and the
// label in brackets ("c: [SISTEMA]"); removable and network drives are not
// asked for a label, which could wait on a medium or a server. Elsewhere
// "c: /" for the root file system and the mount point itself for any other.
std::string EntryText(const std::string& root);

// The root of the drive that drive names: a letter in either case and its
// colon ("d:"), or elsewhere also a mount point, which is its own root.
// Empty when there is no such drive.
std::string RootOfDrive(const std::string& drive);

// Which of roots holds path (relative paths are taken from the current
// directory, a drive alone stands for that drive); empty when none does.
std::string RootOfPath(const std::string& path, const std::vector<std::string>& roots);

// Where the directory list starts: drive C's current directory ("/"
// elsewhere), or the first drive's on a machine without C.
std::string StartDirectory();

// The full form of path as a directory list's current directory: a drive
// alone ("c:", or a drive list entry such as "c: /") stands for that drive's
// current directory, a relative path is taken from the current directory; no
// trailing separator but for a root. Throws platform::RuntimeError 68 for a
// drive that is not there and 76 for anything that is not a directory.
std::string DirectoryOf(const std::string& path);

// The subdirectories of directory, without hidden ones (on Windows the
// hidden attribute, elsewhere a leading "."), sorted without regard to case.
// Throws platform::RuntimeError for a directory that cannot be read.
std::vector<std::string> Subdirectories(const std::string& directory);

// The directories from the root down to directory (a full path), each a full
// path: "C:\", "C:\Dados", "C:\Dados\Exames".
std::vector<std::string> Chain(const std::string& directory);

// The name a directory list shows for a full path: its last component, or
// the root itself.
std::string NameOf(const std::string& directory);

// directory joined with a name below it.
std::string Join(const std::string& directory, const std::string& name);

// Lists the first entry of a drive's root: 0 when the drive can be read,
// otherwise the run-time error number (68 for a mount point that is gone, 71
// for a drive without its medium), with reason saying why for the log.
std::int32_t ProbeDrive(const std::string& root, std::string& reason);

}  // namespace platform::drives

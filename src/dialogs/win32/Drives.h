// Drives and directories as the directory chooser's lists see them on
// Windows: drive letters, each drive's current directory and the folders of
// a directory, all through the wide API. Paths are UTF-8 and use backslashes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dialogs::win32 {

// The roots of the machine's drives in letter order ("A:\", "C:\", ...).
std::vector<std::string> LogicalDrives();

// The drive list's entry for a root: the letter in lower case and its colon,
// then, for a fixed drive with a volume label, a space and the label in
// brackets ("c: [SISTEMA]"). Removable and network drives are not asked for
// a label, which could wait on a medium or a server.
std::string DriveEntryText(const std::string& root);

// The root ("C:\") of the drive that drive's letter names, in either case,
// when the machine has it; otherwise empty.
std::string RootOfDrive(const std::string& drive);

// The full form of path: a relative path is taken from the current
// directory, a drive alone ("d:") stands for that drive's current
// directory. No trailing backslash but for a root. Empty when path cannot
// name anything.
std::string FullPath(const std::string& path);

bool IsDirectory(const std::string& path);

// The subdirectories of directory, without hidden ones, sorted without
// regard to case. Throws platform::RuntimeError for a directory that cannot
// be read.
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
// otherwise the run-time error number (71 for a drive without its medium).
std::int32_t ProbeDrive(const std::string& root);

}  // namespace dialogs::win32

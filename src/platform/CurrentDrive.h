// Drive letters and the process-wide current drive.
//
// On Windows these are the system's own (CurrentDriveWin32.cpp): each
// drive's current directory is the one the system keeps for it.
//
// Elsewhere there are no drive letters (CurrentDrivePosix.cpp): drive C
// stands for the root file system "/", and its current directory is always
// "/" itself, whatever the process's working directory (the directory chooser
// shows the same); no other letter exists unless it is assigned to a
// directory with SubstDrive (the counterpart of the "subst" command; nothing
// in the program assigns one), whose current directory is then that
// directory. The current drive starts as C.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The current directory of the current drive, led by the drive: "C:\Dados"
// on Windows; "C:/" for drive C elsewhere, or for an assigned drive its
// letter, ":" and "/" ("D:/").
std::string CurrentDirectory();

// Makes the drive that drive's first character names (either case) the
// current drive. Empty text changes nothing. False, and no change, when
// there is no such drive.
bool ChangeDrive(const std::string& drive);

// Free space of the current drive in bytes, as available to this process;
// -1 when it cannot be queried.
std::int64_t DiskSpaceFree();

// For a full path of this system that names its file system by itself
// ("/media/dados"): that file system's free space, in bytes available to this
// process, or -1 when it cannot be queried. Nothing for any other text, and
// always nothing on Windows, where a drive letter names the file system.
std::optional<std::int64_t> DiskSpaceFreeOfFullPath(const std::string& path);

#ifndef _WIN32
// Assigns letter to directory, or removes the assignment when directory is
// empty (the current drive falls back to C then). C cannot be reassigned.
// False when letter is not a letter or is C.
bool SubstDrive(char letter, const std::string& directory);

// Free space, in bytes available to this process, of the file system that
// holds path; -1 when it cannot be queried.
std::int64_t DiskSpaceFreeAt(const std::string& path);
#endif

}  // namespace platform

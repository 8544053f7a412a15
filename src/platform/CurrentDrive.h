// Drive letters and the process-wide current drive, for a platform that has
// neither: drive C stands for the root file system "/", its current
// directory is the process's working directory, and no other letter exists
// unless it is assigned to a directory with SubstDrive (the counterpart of
// the "subst" command; nothing in the program assigns one). The current
// drive starts as C.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The current directory of the current drive, led by the drive: "C:" and
// the working directory ("C:/home/ana"), or for an assigned drive its
// letter, ":" and "/" ("D:/").
std::string CurrentDirectory();

// Makes the drive that drive's first character names (either case) the
// current drive. Empty text changes nothing. False, and no change, when
// there is no such drive.
bool ChangeDrive(const std::string& drive);

// Assigns letter to directory, or removes the assignment when directory is
// empty (the current drive falls back to C then). C cannot be reassigned.
// False when letter is not a letter or is C.
bool SubstDrive(char letter, const std::string& directory);

// Free space of the current drive in bytes, as available to this process;
// -1 when it cannot be queried.
std::int64_t DiskSpaceFree();

}  // namespace platform

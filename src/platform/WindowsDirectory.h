// Where the host product keeps its configuration file.
#pragma once

#include <string>

namespace platform {

// Writes the Windows directory as UTF-8, followed by one NUL, into buffer (at
// most size bytes, NUL included) and returns its length; 0 on failure. On
// systems other than Windows the directory is $WINDIR when set and not
// empty, otherwise "/etc", ending with the platform's separator.
unsigned GetWindowsDirectoryA(char* buffer, unsigned size);

// The separator of path components on this platform, and whether its file
// names ignore case.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr bool kFileNamesIgnoreCase = true;
#else
constexpr char kPathSeparator = '/';
constexpr bool kFileNamesIgnoreCase = false;
#endif

}  // namespace platform

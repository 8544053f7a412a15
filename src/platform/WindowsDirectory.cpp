#include "WindowsDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <cstring>
#endif

namespace platform {

unsigned GetWindowsDirectoryA(char* buffer, unsigned size) {
#ifdef _WIN32
    const UINT length = ::GetWindowsDirectoryA(buffer, size);
    // The real call answers the size it would need when the buffer is too
    // small; callers here only know "length written" or 0.
    return length < size ? length : 0;
#else
    // No Windows directory here: the host product's configuration lives in
    // $WINDIR when the installation sets it, otherwise in /etc.
    const char* configured = std::getenv("WINDIR");
    std::string directory = (configured != nullptr && *configured != '\0') ? configured : "/etc";
    if (directory.back() != kPathSeparator) directory += kPathSeparator;
    if (buffer == nullptr || directory.size() + 1 > size) return 0;
    std::memcpy(buffer, directory.data(), directory.size());
    buffer[directory.size()] = '\0';
    return static_cast<unsigned>(directory.size());
#endif
}

}  // namespace platform

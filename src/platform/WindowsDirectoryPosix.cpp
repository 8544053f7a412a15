#include <cstdlib>
#include <cstring>

#include "WindowsDirectory.h"

namespace platform {

unsigned GetWindowsDirectoryA(char* buffer, unsigned size) {
    // No Windows directory here: the host product's configuration lives in
    // $WINDIR when the installation sets it, otherwise in /etc.
    const char* configured = std::getenv("WINDIR");
    std::string directory = (configured != nullptr && *configured != '\0') ? configured : "/etc";
    if (directory.back() != kPathSeparator) directory += kPathSeparator;
    if (buffer == nullptr || directory.size() + 1 > size) return 0;
    std::memcpy(buffer, directory.data(), directory.size());
    buffer[directory.size()] = '\0';
    return static_cast<unsigned>(directory.size());
}

}  // namespace platform

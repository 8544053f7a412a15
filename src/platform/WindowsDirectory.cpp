#include "WindowsDirectory.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "WideText.h"
#else
#include <cstdlib>
#endif

namespace platform {

unsigned GetWindowsDirectoryA(char* buffer, unsigned size) {
#ifdef _WIN32
    // The wide call, so that a directory name outside the ANSI code page
    // arrives whole; the caller gets it as UTF-8.
    wchar_t wide[MAX_PATH + 1];
    const UINT length = ::GetWindowsDirectoryW(wide, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return 0;
    const std::string directory = Utf8FromWide(std::wstring_view(wide, length));
    if (buffer == nullptr || directory.size() + 1 > size) return 0;
    std::memcpy(buffer, directory.data(), directory.size());
    buffer[directory.size()] = '\0';
    return static_cast<unsigned>(directory.size());
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

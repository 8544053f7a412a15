#include <windows.h>

#include <cstring>

#include "WideText.h"
#include "WindowsDirectory.h"

namespace platform {

unsigned GetWindowsDirectoryA(char* buffer, unsigned size) {
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
}

}  // namespace platform

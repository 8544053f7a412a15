// Drive letters and the current drive on Windows: the system's own. Each
// drive keeps its current directory in the process's hidden "=X:" variable,
// as the C run-time library keeps it, so that leaving a drive and coming back
// finds the directory again.
#include <windows.h>

#include <limits>

#include "CurrentDrive.h"
#include "WideText.h"

namespace platform {

namespace {

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

wchar_t upperLetter(char c) {
    return static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

std::wstring currentDirectoryWide() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
}

// Records the current directory as its drive's own, so that the drive can be
// made current again with the same directory.
void rememberCurrentDirectory() {
    const std::wstring current = currentDirectoryWide();
    if (current.size() < 2 || current[1] != L':') return;  // a network path has no drive
    const wchar_t name[] = {L'=', static_cast<wchar_t>(towupper(current[0])), L':', L'\0'};
    SetEnvironmentVariableW(name, current.c_str());
}

}  // namespace

std::string CurrentDirectory() {
    return Utf8FromWide(currentDirectoryWide());
}

bool ChangeDrive(const std::string& drive) {
    if (drive.empty()) return true;
    if (!isLetter(drive[0])) return false;
    rememberCurrentDirectory();
    // "X:" alone stands for that drive's current directory.
    const wchar_t target[] = {upperLetter(drive[0]), L':', L'\0'};
    return SetCurrentDirectoryW(target) != 0;
}

std::int64_t DiskSpaceFree() {
    ULARGE_INTEGER available, total, free;
    // The root of the current directory's drive; the space this process may
    // use, as a quota-aware query reports it.
    if (!GetDiskFreeSpaceExW(nullptr, &available, &total, &free)) return -1;
    constexpr auto maximum = static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(available.QuadPart > maximum ? maximum : available.QuadPart);
}

std::optional<std::int64_t> DiskSpaceFreeOfFullPath(const std::string&) {
    return std::nullopt;
}

}  // namespace platform

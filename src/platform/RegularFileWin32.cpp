#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cwctype>
#include <string_view>

#include "RegularFile.h"
#include "WideText.h"

namespace platform {

namespace {

bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Names that reach a device however the folders around them are written:
// the DOS device names in the last component (NUL, nul.db, C:\NUL, COM1:),
// whatever follows a dot or trails as spaces and colons; and the device
// namespaces (\\.\, \\?\) but for the drive and network paths written in
// them. Opening them would already talk to the device (a pipe's server sees
// a client, a serial port may wait): refused by their name alone.
bool namesADevice(std::wstring_view name) {
    if (name.size() >= 4 && isSeparator(name[0]) && isSeparator(name[1]) && (name[2] == L'.' || name[2] == L'?') &&
        isSeparator(name[3])) {
        const std::wstring_view rest = name.substr(4);
        const bool drivePath = rest.size() >= 3 && isDriveLetter(rest[0]) && rest[1] == L':' && isSeparator(rest[2]);
        const bool networkPath = rest.size() >= 4 && (rest[0] == L'U' || rest[0] == L'u') &&
                                 (rest[1] == L'N' || rest[1] == L'n') && (rest[2] == L'C' || rest[2] == L'c') &&
                                 isSeparator(rest[3]);
        if (!drivePath && !networkPath) return true;
    }
    const std::size_t slash = name.find_last_of(L"\\/");
    std::wstring_view last = name.substr(slash == std::wstring_view::npos ? 0 : slash + 1);
    if (slash == std::wstring_view::npos && last.size() >= 2 && isDriveLetter(last[0]) && last[1] == L':')
        last.remove_prefix(2);
    last = last.substr(0, last.find(L'.'));
    while (!last.empty() && (last.back() == L' ' || last.back() == L':')) last.remove_suffix(1);
    std::wstring base;
    for (wchar_t c : last) base += static_cast<wchar_t>(std::towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    return base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) && base[3] >= L'0' &&
           base[3] <= L'9';
}

HANDLE openForReading(const std::wstring& name, DWORD flags) {
    return ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
}

// The file's identity, or false when the handle is no disk file.
bool diskFile(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &info);
}

}  // namespace

RegularFile OpenRegularFile(const std::string& path, std::uint64_t maxSize) {
    RegularFile result;
    const std::wstring name = WideFromUtf8(path);
    if (namesADevice(name)) {
        result.failure = RegularFile::Failure::NotRegular;
        return result;
    }
    // CreateFileW rather than _wfopen, so that the handle's type is known
    // before anything reads from it: a serial port, a pipe, NUL or a console
    // is not a disk file. The type is first taken on a handle for overlapped
    // I/O, on which no call waits for the other end (a pipe whose server
    // never answers); only a disk file is opened again for the caller's
    // ordinary reads, and taken when it is still the same file. A directory
    // cannot be opened this way at all.
    const HANDLE probe = openForReading(name, FILE_FLAG_OVERLAPPED);
    if (probe == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        result.failure = code == ERROR_PIPE_BUSY || code == ERROR_BAD_PIPE || code == ERROR_PIPE_NOT_CONNECTED
                             ? RegularFile::Failure::NotRegular
                             : RegularFile::Failure::CannotOpen;
        // A name no file can have (a colon or a "?" in it, a drive or share
        // that is not there) names nothing, as a missing one.
        const bool nothing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
                             code == ERROR_INVALID_NAME || code == ERROR_INVALID_DRIVE ||
                             code == ERROR_BAD_NETPATH || code == ERROR_BAD_NET_NAME;
        result.error = nothing ? ENOENT : code == ERROR_ACCESS_DENIED ? EACCES : EIO;
        return result;
    }
    BY_HANDLE_FILE_INFORMATION probed{}, opened{};
    const bool probedDisk = diskFile(probe, probed);
    ::CloseHandle(probe);
    if (!probedDisk) {
        result.failure = RegularFile::Failure::NotRegular;
        return result;
    }
    const HANDLE handle = openForReading(name, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) {
        result.failure = RegularFile::Failure::CannotOpen;
        result.error = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
        return result;
    }
    LARGE_INTEGER size{};
    if (!diskFile(handle, opened) || opened.dwVolumeSerialNumber != probed.dwVolumeSerialNumber ||
        opened.nFileIndexHigh != probed.nFileIndexHigh || opened.nFileIndexLow != probed.nFileIndexLow) {
        result.failure = RegularFile::Failure::NotRegular;
    } else if (!::GetFileSizeEx(handle, &size)) {
        result.failure = RegularFile::Failure::CannotExamine, result.error = EIO;
    } else if (static_cast<std::uint64_t>(size.QuadPart) > maxSize) {
        result.failure = RegularFile::Failure::TooLarge;
    }
    if (result.failure != RegularFile::Failure::None) {
        ::CloseHandle(handle);
        return result;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        result.failure = RegularFile::Failure::CannotOpen, result.error = EIO;
        return result;
    }
    result.file.reset(::_fdopen(fd, "rb"));
    if (!result.file) {
        ::_close(fd);
        result.failure = RegularFile::Failure::CannotOpen, result.error = EIO;
    }
    return result;
}

FileHandle OpenScratchFile() {
    // tmpfile() of the C run-time makes its file in the root of the current
    // drive, where a user may not write; the user's temporary folder instead,
    // deleted on close ("D").
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(folder, L"rex", 0, name) == 0) {
        errno = EIO;
        return nullptr;
    }
    return FileHandle(::_wfopen(name, L"w+bD"));
}

}  // namespace platform

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "RegularFile.h"
#include "WideText.h"

namespace platform {

RegularFile OpenRegularFile(const std::string& path, std::uint64_t maxSize) {
    RegularFile result;
    // CreateFileW rather than _wfopen, so that the handle's type is known
    // before anything reads from it: a serial port, a pipe, NUL or a console
    // is not a disk file. A directory cannot be opened this way at all.
    const HANDLE handle = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        result.failure = RegularFile::Failure::CannotOpen;
        result.error = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ENOENT
                       : code == ERROR_ACCESS_DENIED                                ? EACCES
                                                                                    : EIO;
        return result;
    }
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
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

#include <windows.h>
// After windows.h:
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "DurableFile.h"
#include "DurableFileReasons.h"
#include "WideText.h"

namespace platform {
namespace {

std::atomic<FileFlushObserver> flushObserver{nullptr};

void flushed(const std::string& path) {
    if (const FileFlushObserver observer = flushObserver.load()) observer(path);
}

// Writes all of bytes to file; 0 or the system's error.
DWORD writeAll(HANDLE file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>((std::min<std::size_t>)(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
        done += written;
    }
    return 0;
}

std::string reasonFor(DWORD error) {
    switch (error) {
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return NoFolderReason();
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return NoPermissionReason();
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED
            return NoRoomReason();
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return ExistsReason();
        default:
            return "erro do sistema " + std::to_string(error);
    }
}

bool failWith(FileFailure& failure, DWORD error) {
    failure.systemError = static_cast<int>(error);
    failure.reason = reasonFor(error);
    return false;
}

struct LocalFreeDeleter {
    void operator()(void* p) const { LocalFree(p); }
};

// A protected DACL naming only the current user, SYSTEM and Administrators,
// so the file inherits nothing from a folder that others can read.
std::unique_ptr<void, LocalFreeDeleter> ownerOnlyDescriptor() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    const bool ok = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!ok) return nullptr;
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) return nullptr;
    const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")(A;;FA;;;SY)(A;;FA;;;BA)";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return nullptr;
    return std::unique_ptr<void, LocalFreeDeleter>(descriptor);
}

}  // namespace

bool WriteFileDurably(const std::string& path, std::string_view bytes, bool replace, FileFailure& failure,
                      bool syncFolder) {
    static std::atomic<unsigned> serial{0};
    const std::wstring wide = WideFromUtf8(path);
    const std::wstring target =
        replace ? wide + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++)
                : wide;
    auto descriptor = ownerOnlyDescriptor();
    if (!descriptor) return failWith(failure, GetLastError());
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    // CREATE_NEW refuses any file at the name; with FILE_FLAG_OPEN_REPARSE_POINT
    // a link there is never followed.
    const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failWith(failure, GetLastError());
    DWORD error = writeAll(file, bytes);
    if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
    CloseHandle(file);
    if (error == 0 && replace &&
        !MoveFileExW(target.c_str(), wide.c_str(),
                     MOVEFILE_REPLACE_EXISTING | (syncFolder ? MOVEFILE_WRITE_THROUGH : 0)))
        error = GetLastError();
    if (error != 0) {
        DeleteFileW(target.c_str());
        return failWith(failure, error);
    }
    flushed(path);
    return true;
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool sync, FileFailure& failure) {
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failWith(failure, GetLastError());
    LARGE_INTEGER size{};
    DWORD error = 0;
    if (!GetFileSizeEx(file, &size) || !SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) error = GetLastError();
    if (error == 0) error = writeAll(file, bytes);
    if (error == 0 && sync && !FlushFileBuffers(file)) error = GetLastError();
    // What a failed write left (a part of bytes) is taken back, so that later
    // records do not follow a torn one.
    if (error != 0 && SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) SetEndOfFile(file);
    CloseHandle(file);
    if (error != 0) return failWith(failure, error);
    if (sync) flushed(path);
    return true;
}

void SetFileFlushObserver(FileFlushObserver observer) { flushObserver = observer; }

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit, FileFailure& failure) {
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failWith(failure, GetLastError());
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || static_cast<unsigned long long>(size.QuadPart) > limit) {
        CloseHandle(file);
        failure = {ERROR_FILE_TOO_LARGE, TooLargeReason()};
        return std::nullopt;
    }
    std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        DWORD got = 0;
        if (!ReadFile(file, content.data() + done, static_cast<DWORD>(content.size() - done), &got, nullptr) ||
            got == 0)
            break;
        done += got;
    }
    CloseHandle(file);
    content.resize(done);
    return content;
}

}  // namespace platform

#include <windows.h>

#include "RuntimeError.h"

namespace platform {

std::int32_t RuntimeErrorFromWin32(std::uint32_t error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return rt::FileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return rt::PathNotFound;
        case ERROR_INVALID_NAME:
            return rt::BadFileNameOrNumber;
        case ERROR_TOO_MANY_OPEN_FILES:
            return rt::TooManyFiles;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return rt::OutOfMemory;
        case ERROR_INVALID_DRIVE:
        case ERROR_DEV_NOT_EXIST:
            return rt::DeviceUnavailable;
        case ERROR_NOT_SAME_DEVICE:
            return rt::RenameAcrossDisks;
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return rt::PermissionDenied;
        case ERROR_NOT_READY:
            return rt::DiskNotReady;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED, missing from mingw's headers
            return rt::DiskFull;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return rt::FileAlreadyExists;
        case ERROR_CRC:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
            return rt::DeviceIOError;
        default:
            // Access denied, a directory where a file was wanted, and the rest.
            return rt::PathFileAccessError;
    }
}

}  // namespace platform

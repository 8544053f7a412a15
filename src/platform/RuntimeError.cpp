#include "RuntimeError.h"

#include <cerrno>
#include <new>

#include "ErrorMessages.h"
#include "StatusError.h"

namespace platform {

std::int32_t RuntimeErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return rt::FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return rt::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return rt::PermissionDenied;
        case EEXIST:
        case ENOTEMPTY:
            return rt::FileAlreadyExists;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return rt::DiskFull;
        case EMFILE:
        case ENFILE:
            return rt::TooManyFiles;
        case ENODEV:
        case ENXIO:
#ifdef ENOMEDIUM
        case ENOMEDIUM:
#endif
            return rt::DeviceUnavailable;
        case EIO:
            return rt::DeviceIOError;
        case EXDEV:
            return rt::RenameAcrossDisks;
        case EISDIR:
        case EBUSY:
        case EINVAL:
            return rt::PathFileAccessError;
        case ENOMEM:
            return rt::OutOfMemory;
        default:
            return rt::PathFileAccessError;
    }
}

std::int32_t ErrorNumberFromStatus(std::uint32_t status) {
    if ((status & 0xFFFF0000u) == 0x800A0000u) return static_cast<std::int32_t>(status & 0xFFFFu);
    return static_cast<std::int32_t>(status);
}

ErrorReport DescribeUncaught(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const RuntimeError& e) {
        return {e.number(), StandardErrorText(e.number())};
    } catch (const StatusError& e) {
        const std::int32_t number = ErrorNumberFromStatus(e.status());
        return {number, StandardErrorText(number)};
    } catch (const std::bad_alloc&) {
        return {rt::OutOfMemory, StandardErrorText(rt::OutOfMemory)};
    } catch (...) {
        return {440, kUnknownErrorText};
    }
}

std::string RuntimeErrorPrompt(const ErrorReport& report) {
    return "Erro em tempo de execução '" + std::to_string(report.number) + "':\n\n" + report.text;
}

}  // namespace platform

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "DurableFile.h"
#include "DurableFileReasons.h"

namespace platform {
namespace {

std::atomic<FileFlushObserver> flushObserver{nullptr};

void flushed(const std::string& path) {
    if (const FileFlushObserver observer = flushObserver.load()) observer(path);
}

std::string reasonFor(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return NoFolderReason();
        case EACCES:
        case EPERM:
        case EROFS:
            return NoPermissionReason();
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return NoRoomReason();
        case EEXIST:
        case ELOOP:
            return ExistsReason();
        default:
            return std::strerror(error);
    }
}

bool failWith(FileFailure& failure, int error) {
    failure.systemError = error;
    failure.reason = reasonFor(error);
    return false;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Writes all of bytes and flushes them; the descriptor is closed either way.
int writeAndClose(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (::close(fd) != 0) return errno;
    return 0;
}

// The new name is on disk only once the folder that holds it is flushed.
int flushFolder(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// O_EXCL with O_NOFOLLOW: a link or any file already at the name is refused.
// fchmod, since the mode given to open is narrowed by the umask but never
// widened; 0600 is already the narrowest the owner can use.
int createOwnerOnly(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::fchmod(fd, 0600) != 0) {
        error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return -1;
    }
    return fd;
}

}  // namespace

bool WriteFileDurably(const std::string& path, std::string_view bytes, bool replace, FileFailure& failure,
                      bool syncFolder) {
    static std::atomic<unsigned> serial{0};
    const std::string target =
        replace ? path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) : path;
    int error = 0;
    const int fd = createOwnerOnly(target, error);
    if (fd < 0) return failWith(failure, error);
    if ((error = writeAndClose(fd, bytes)) != 0) {
        ::unlink(target.c_str());
        return failWith(failure, error);
    }
    if (replace && ::rename(target.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(target.c_str());
        return failWith(failure, error);
    }
    if (syncFolder && (error = flushFolder(path)) != 0) return failWith(failure, error);
    flushed(path);
    return true;
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool sync, FileFailure& failure) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return failWith(failure, errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return failWith(failure, error);
    }
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n >= 0)
            done += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            error = errno;
    }
    if (error == 0 && sync && ::fsync(fd) != 0) error = errno;
    // What a failed write left (a part of bytes) is taken back, so that later
    // records do not follow a torn one.
    if (error != 0 && ::ftruncate(fd, status.st_size) == 0) ::fsync(fd);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) return failWith(failure, error);
    if (sync) flushed(path);
    return true;
}

void SetFileFlushObserver(FileFlushObserver observer) { flushObserver = observer; }

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit, FileFailure& failure) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        failWith(failure, errno);
        if (failure.systemError == ENOENT) failure.reason = "o arquivo não existe";
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        failure = {EINVAL, "não é um arquivo comum"};
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(status.st_size) > limit) {
        ::close(fd);
        failure = {EFBIG, TooLargeReason()};
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            failWith(failure, errno);
            ::close(fd);
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > limit) {
            ::close(fd);
            failure = {EFBIG, TooLargeReason()};
            return std::nullopt;
        }
    }
    ::close(fd);
    return content;
}

}  // namespace platform

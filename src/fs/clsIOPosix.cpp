// The file operations of clsIO on a POSIX system: the errno of each failure
// becomes the run-time number that the same failure has on Windows.
#include "clsIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "Diagnostics.h"
#include "FileSearch.h"
#include "RuntimeError.h"

namespace {

using platform::RuntimeErrorFromErrno;
namespace rt = platform::rt;

// The failing call and the system's own words, for whoever reads the log.
void logFailure(const std::string& operation, const std::string& what, int errnoValue) {
    platform::Diagnose(operation, what + ": " + std::strerror(errnoValue));
}

// The run-time number for a path that could not be reached: a missing entry
// is "File not found" when its directory is there and "Path not found" when
// the directory is not.
std::int32_t numberForPath(const std::string& path, int errnoValue) {
    if (errnoValue == ENOTDIR) return rt::PathNotFound;
    if (errnoValue != ENOENT) return RuntimeErrorFromErrno(errnoValue);
    struct stat info;
    const std::string directory = platform::SplitLastComponent(path).directory;
    return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? rt::FileNotFound
                                                                          : rt::PathNotFound;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a late write error (full disk on a network file
    // system) is seen; 0 or the errno value.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Copies source's bytes into target; 0 or the errno value of the failure.
int copyBytes(int source, int target) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(target, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            done += put;
        }
    }
}

}  // namespace

bool clsIO::ZuCopy(const std::string& fOrigem, const std::string& fDestino) {
    Descriptor source(::open(fOrigem.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) {
        const int error = errno;
        logFailure("ZuCopy", "'" + fOrigem + "'", error);
        RegistrarErro(numberForPath(fOrigem, error));
        return false;
    }
    struct stat from {};
    if (::fstat(source.get(), &from) != 0 || S_ISDIR(from.st_mode)) {
        const int error = S_ISDIR(from.st_mode) ? EISDIR : errno;
        logFailure("ZuCopy", "'" + fOrigem + "'", error);
        RegistrarErro(RuntimeErrorFromErrno(error));
        return false;
    }
    struct stat to;
    if (::stat(fDestino.c_str(), &to) == 0) {
        int error = 0;
        std::int32_t number = 0;
        if (S_ISDIR(to.st_mode)) {
            error = EISDIR;
            number = rt::PathFileAccessError;
        } else if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
            // Copying a file onto itself would empty it; Windows refuses
            // it as a file in use.
            error = EBUSY;
            number = rt::PermissionDenied;
        }
        if (error != 0) {
            logFailure("ZuCopy", "'" + fDestino + "'", error);
            RegistrarErro(number);
            return false;
        }
    }
    // An existing target is overwritten, as a file copy does on Windows.
    Descriptor target(
        ::open(fDestino.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, from.st_mode & 07777));
    if (target.get() < 0) {
        const int error = errno;
        logFailure("ZuCopy", "'" + fDestino + "'", error);
        RegistrarErro(numberForPath(fDestino, error));
        return false;
    }
    int error = copyBytes(source.get(), target.get());
    if (error == 0) {
        // The copy keeps the source's modification time, as on Windows.
        const struct timespec times[2] = {{0, UTIME_OMIT}, from.st_mtim};
        ::futimens(target.get(), times);
        error = target.close();
    }
    if (error != 0) {
        logFailure("ZuCopy", "'" + fOrigem + "' -> '" + fDestino + "'", error);
        ::unlink(fDestino.c_str());  // no half-copied file stays behind
        RegistrarErro(RuntimeErrorFromErrno(error));
        return false;
    }
    return true;
}

bool clsIO::ZuKill(const std::string& fArquivo) {
    const platform::SplitPath split = platform::SplitLastComponent(fArquivo);
    struct stat info;
    const int found = ::stat(split.directory.c_str(), &info) == 0 ? 0 : errno;
    if (found != 0 || !S_ISDIR(info.st_mode)) {
        const int error = found != 0 ? found : ENOTDIR;
        logFailure("ZuKill", "'" + split.directory + "'", error);
        RegistrarErro(error == EACCES || error == EPERM ? rt::PermissionDenied : rt::PathNotFound);
        return false;
    }

    std::vector<std::string> names;
    if (!platform::HasWildcards(split.name)) {
        names.push_back(split.name);
    } else if (const int error = platform::ListMatches(split.directory, split.name, names); error != 0) {
        logFailure("ZuKill", "'" + split.directory + "'", error);
        RegistrarErro(RuntimeErrorFromErrno(error));
        return false;
    }

    // Files only: a directory, or a link to one, that matches is left alone.
    const std::size_t slash = fArquivo.rfind('/');
    const std::string prefix = slash == std::string::npos ? std::string() : fArquivo.substr(0, slash + 1);
    std::vector<std::string> files;
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat entry, target;
        if (name.empty() || ::lstat(path.c_str(), &entry) != 0 || S_ISDIR(entry.st_mode)) continue;
        if (S_ISLNK(entry.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) continue;
        files.push_back(path);
    }
    if (files.empty()) {
        logFailure("ZuKill", "'" + fArquivo + "'", ENOENT);
        RegistrarErro(rt::FileNotFound);
        return false;
    }
    for (const std::string& path : files) {
        if (::unlink(path.c_str()) != 0) {
            const int error = errno;
            logFailure("ZuKill", "'" + path + "'", error);
            RegistrarErro(RuntimeErrorFromErrno(error));
            return false;
        }
    }
    return true;
}

bool clsIO::ZuCriarDiretório(const std::string& fFullPath) {
    if (::mkdir(fFullPath.c_str(), 0777) == 0) return true;
    const int error = errno;
    logFailure("ZuCriarDiretório", "'" + fFullPath + "'", error);
    // An entry of that name already there is a path access error, as making
    // an existing directory is on Windows; a missing parent is "Path not found".
    std::int32_t number = RuntimeErrorFromErrno(error);
    if (error == EEXIST) number = rt::PathFileAccessError;
    if (error == ENOENT || error == ENOTDIR) number = rt::PathNotFound;
    RegistrarErro(number);
    return false;
}

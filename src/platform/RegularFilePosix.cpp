#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "RegularFile.h"

namespace platform {

RegularFile OpenRegularFile(const std::string& path, std::uint64_t maxSize) {
    RegularFile result;
    // Non-blocking, so that opening a pipe with no writer returns at once; the
    // descriptor is made blocking again once it is known to be a file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.failure = RegularFile::Failure::CannotOpen, result.error = errno;
        return result;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        result.failure = RegularFile::Failure::CannotExamine, result.error = errno;
    } else if (!S_ISREG(status.st_mode)) {
        result.failure = RegularFile::Failure::NotRegular;
    } else if (static_cast<std::uint64_t>(status.st_size) > maxSize) {
        result.failure = RegularFile::Failure::TooLarge;
    }
    if (result.failure != RegularFile::Failure::None) {
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.file.reset(::fdopen(fd, "rb"));
    if (!result.file) {
        result.failure = RegularFile::Failure::CannotOpen, result.error = errno;
        ::close(fd);
    }
    return result;
}

FileHandle OpenScratchFile() {
    return FileHandle(std::tmpfile());
}

}  // namespace platform

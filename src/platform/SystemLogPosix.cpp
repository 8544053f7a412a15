#include <errno.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "SystemLog.h"

namespace platform {

namespace {

int severityCode(LogSeverity severity) {
    switch (severity) {
        case LogSeverity::Error:
            return 3;  // LOG_ERR
        case LogSeverity::Notice:
            return 5;  // LOG_NOTICE
        case LogSeverity::Info:
            break;
    }
    return 6;  // LOG_INFO
}

// "Mmm dd hh:mm:ss" in local time, as syslog(3) stamps its records; the month
// is always English, whatever the locale.
std::string timestamp() {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon % 12], local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace

LocalSyslog::LocalSyslog(std::string socketPath, std::string ident, int facility)
    : socketPath_(std::move(socketPath)), ident_(std::move(ident)), facility_(facility) {}

LocalSyslog::~LocalSyslog() {
    disconnect();
}

bool LocalSyslog::Write(LogSeverity severity, LogEvent, std::string_view message) noexcept {
    try {
        std::string record = "<" + std::to_string(facility_ | severityCode(severity)) + ">" + timestamp() +
                             " " + ident_ + "[" + std::to_string(getpid()) + "]: ";
        record.append(message);
        if (fd_ < 0 && !connect()) return false;
        if (send(record)) return true;
        // A daemon that was restarted has left the socket dead: one fresh
        // connection and one more try. A full one is not tried again.
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK || error == EMSGSIZE) {
            noteFailure(error);
            return false;
        }
        disconnect();
        if (!connect()) return false;
        if (send(record)) return true;
        noteFailure(errno);
        return false;
    } catch (...) {
        return false;
    }
}

bool LocalSyslog::connect() noexcept {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.size() >= sizeof address.sun_path) {
        noteFailure(ENAMETOOLONG);
        return false;
    }
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
    // The daemon listens on a datagram socket; some listen on a stream one.
    for (int type : {SOCK_DGRAM, SOCK_STREAM}) {
        const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) break;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            fd_ = fd;
            stream_ = type == SOCK_STREAM;
            return true;
        }
        const int error = errno;
        ::close(fd);
        if (error != EPROTOTYPE) {
            noteFailure(error);
            return false;
        }
    }
    noteFailure(errno);
    return false;
}

bool LocalSyslog::send(const std::string& record) noexcept {
    // On a stream socket a NUL ends each record, as syslog(3) sends it; a
    // record that goes out only in part would run into the next, so the
    // connection is dropped.
    const std::size_t size = record.size() + (stream_ ? 1 : 0);
    ssize_t sent = ::send(fd_, record.c_str(), size, MSG_NOSIGNAL | MSG_DONTWAIT);
    // A daemon that is only behind gets a short while to catch up, so that a
    // burst of removals on a busy machine loses no record; one that stays
    // full is not waited for again until it takes a record.
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !congested_) {
        pollfd writable{fd_, POLLOUT, 0};
        if (::poll(&writable, 1, kCatchUpMs) == 1)
            sent = ::send(fd_, record.c_str(), size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) congested_ = true;
    }
    if (sent == static_cast<ssize_t>(size)) {
        congested_ = false;
        return true;
    }
    if (sent >= 0) {
        const int error = EAGAIN;
        disconnect();
        errno = error;
    }
    return false;
}

void LocalSyslog::disconnect() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void LocalSyslog::noteFailure(int error) noexcept {
    if (failureNoted_) return;
    failureNoted_ = true;
    std::fprintf(stderr, "%s: cannot write to the system log at %s: %s\n", kLogIdent, socketPath_.c_str(),
                 std::strerror(error));
}

std::unique_ptr<SystemLog> OpenSystemLog() {
    return std::make_unique<LocalSyslog>();
}

namespace {

std::string userName(unsigned uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name)
        return found->pw_name;
    return {};
}

}  // namespace

std::string OperatingSystemUser() {
    const uid_t uid = ::getuid();
    std::string name = userName(uid);
    return name.empty() ? std::to_string(uid) : name;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !*name) return "?";
    return name;
}

// Anyone can put SUDO_USER in the environment of a program they start, so
// the variables are believed only where a forger could not have gained
// anything: when the program runs as root, real and effective user alike.
// sudo starts its command that way (it sets the real user too, unlike a
// set-user-id program), and a user who is not root can make neither id 0.
// Root can forge any record anyway; still, sudo always sets SUDO_USER and
// SUDO_UID together from the same entry of the user database, so a pair that
// disagrees with it (a SUDO_USER set by hand, with no SUDO_UID or another
// one) is not believed either. A command run through sudo as another user
// than root is not recorded: it could not be told from one that user
// started with the variables forged.
std::string SudoUserOf(unsigned realUid, unsigned effectiveUid, const char* sudoUserVariable,
                       const char* sudoUidVariable, std::string (*nameOfUid)(unsigned)) {
    if (realUid != 0 || effectiveUid != 0) return {};
    if (!sudoUserVariable || !*sudoUserVariable || !sudoUidVariable || !*sudoUidVariable) return {};
    unsigned sudoUid = 0;
    const char* end = sudoUidVariable + std::strlen(sudoUidVariable);
    const auto [stop, error] = std::from_chars(sudoUidVariable, end, sudoUid);
    if (error != std::errc() || stop != end || nameOfUid(sudoUid) != sudoUserVariable) return {};
    return sudoUserVariable;
}

std::string SudoUser() {
    return SudoUserOf(::getuid(), ::geteuid(), std::getenv("SUDO_USER"), std::getenv("SUDO_UID"), userName);
}

}  // namespace platform

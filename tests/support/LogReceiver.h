// A log receiver of a test's own: a bound datagram socket in a temporary
// directory, standing in for the syslog daemon's /dev/log.
#pragma once

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>

#include "TempDir.h"

namespace testing_support {

class LogReceiver {
public:
    LogReceiver() : path_(dir_.file("log")) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind " + path_);
        timeval wait{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~LogReceiver() { ::close(fd_); }

    const std::string& path() const { return path_; }

    // The next record, or empty text when none comes within the wait.
    std::string Next(bool wait = true) {
        std::string buffer(65536, '\0');
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), wait ? 0 : MSG_DONTWAIT);
        return n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : std::string();
    }

private:
    TempDir dir_;
    std::string path_;
    int fd_ = -1;
};

// The key=value pairs of a record's message; quoted values keep their quotes.
inline std::map<std::string, std::string> LogFields(const std::string& record) {
    std::map<std::string, std::string> fields;
    static const std::regex pair(R"re(([a-z_]+)=("(?:[^"\\]|\\.)*"|[^ ]*))re");
    const std::string message = record.substr(record.find("]: ") + 3);
    for (std::sregex_iterator it(message.begin(), message.end(), pair), end; it != end; ++it)
        fields[(*it)[1]] = (*it)[2];
    return fields;
}

}  // namespace testing_support

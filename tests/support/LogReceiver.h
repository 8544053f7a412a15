// A log receiver of a test's own: a bound datagram socket in a temporary
// directory, standing in for the syslog daemon's /dev/log.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>

#include "TempDir.h"

namespace testing_support {

class LogReceiver {
public:
    // Keeping up: records are taken off the socket as they come, as the
    // daemon does, so a long run loses none to the socket's short queue.
    // OnDemand: only Next reads, so a test can play a daemon that is behind
    // or stuck.
    enum class Reading { KeepingUp, OnDemand };

    explicit LogReceiver(Reading reading = Reading::KeepingUp) : path_(dir_.file("log")) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind " + path_);
        timeval wait{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        if (reading == Reading::KeepingUp) {
            reader_ = std::thread([this] {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    running_ = true;
                }
                arrived_.notify_all();
                while (!stop_) {
                    pollfd readable{fd_, POLLIN, 0};
                    if (::poll(&readable, 1, 20) == 1) {
                        std::lock_guard<std::mutex> lock(mutex_);
                        takeWaiting();
                        arrived_.notify_all();
                    }
                }
            });
            // The fault tests fork the program right after this: a thread
            // still starting may hold the allocator's lock (the sanitizers'
            // allocator does not take it across fork), and the child would
            // wait on it for ever. Once in its loop the reader allocates only
            // when a record comes.
            std::unique_lock<std::mutex> lock(mutex_);
            arrived_.wait(lock, [this] { return running_; });
        }
    }
    ~LogReceiver() {
        stop_ = true;
        if (reader_.joinable()) reader_.join();
        ::close(fd_);
    }

    const std::string& path() const { return path_; }

    // The next record, or empty text when none comes within the wait (none
    // at all unless wait).
    std::string Next(bool wait = true) {
        if (!reader_.joinable()) {
            std::string buffer(65536, '\0');
            const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), wait ? 0 : MSG_DONTWAIT);
            return n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : std::string();
        }
        std::unique_lock<std::mutex> lock(mutex_);
        takeWaiting();
        if (wait) arrived_.wait_for(lock, std::chrono::seconds(5), [this] { return !records_.empty(); });
        if (records_.empty()) return {};
        std::string record = std::move(records_.front());
        records_.pop_front();
        return record;
    }

    // The next record written when a removal attempt ends, passing over the
    // records of its commits.
    std::string NextFinal(bool wait = true) {
        for (;;) {
            std::string record = Next(wait);
            if (record.find("]: evento=remocao_exame_conjunto ") == std::string::npos) return record;
        }
    }

private:
    // Moves what the socket holds to records_; mutex_ held.
    void takeWaiting() {
        std::string buffer(65536, '\0');
        for (ssize_t n; (n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT)) > 0;)
            records_.push_back(buffer.substr(0, static_cast<std::size_t>(n)));
    }

    TempDir dir_;
    std::string path_;
    int fd_ = -1;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> records_;
    std::atomic<bool> stop_{false};
    bool running_ = false;  // mutex_
    std::thread reader_;
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

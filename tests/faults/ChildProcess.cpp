#include "ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <thread>

namespace faults {
namespace {

using Clock = std::chrono::steady_clock;

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

ChildProcess::ChildProcess(const Body& body) {
    int up[2];
    int down[2];
    if (pipe(up) != 0 || pipe(down) != 0) throw std::runtime_error("pipe failed");
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(126);
        close(up[0]);
        close(down[1]);
        inChild_ = true;
        fromChild_ = up[1];
        toChild_ = down[0];
        int code = 99;
        try {
            code = body(*this);
        } catch (const std::exception& e) {
            std::cerr << "child process: " << e.what() << std::endl;
        } catch (...) {
            std::cerr << "child process: unknown exception" << std::endl;
        }
        std::cerr.flush();
        std::fflush(nullptr);
        // No static destructors: they belong to the test process (its
        // database server among them).
        _exit(code);
    }
    // A child that has already ended must not take the test down with it
    // when the parent writes to its pipe.
    signal(SIGPIPE, SIG_IGN);
    close(up[1]);
    close(down[0]);
    fromChild_ = up[0];
    toChild_ = down[1];
}

ChildProcess::~ChildProcess() {
    if (inChild_) return;
    Kill();
    close(fromChild_);
    close(toChild_);
}

void ChildProcess::Say(const std::string& text) {
    writeAll(fromChild_, text.data(), text.size());
}

void ChildProcess::Await() {
    char byte = 0;
    while (read(toChild_, &byte, 1) < 0 && errno == EINTR) {
    }
}

void ChildProcess::Tell() {
    writeAll(toChild_, "g", 1);
}

bool ChildProcess::readSome(std::chrono::milliseconds timeout) {
    if (eof_) return false;
    pollfd p{fromChild_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) return true;
    char buffer[4096];
    const ssize_t got = read(fromChild_, buffer, sizeof buffer);
    if (got <= 0) {
        if (got < 0 && errno == EINTR) return true;
        eof_ = true;
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

bool ChildProcess::WaitFor(const std::string& marker, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (output_.find(marker) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (!readSome(left)) return output_.find(marker) != std::string::npos;
    }
    return true;
}

void ChildProcess::reap(int status) {
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
}

void ChildProcess::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reap(status);
}

void ChildProcess::Signal(int signalNumber) {
    if (pid_ > 0) kill(pid_, signalNumber);
}

int ChildProcess::Finish(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reap(status);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            Kill();
            return -1;
        }
        // Keeps the pipe drained so that a talkative child never blocks.
        const auto slice = std::min(left, std::chrono::milliseconds(20));
        if (!readSome(slice)) std::this_thread::sleep_for(slice);
    }
    // What the child said before it ended is still in the pipe.
    while (readSome(std::chrono::milliseconds(100))) {
    }
    return exitStatus_;
}

}  // namespace faults

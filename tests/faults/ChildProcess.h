// A forked child process for the fault tests: the tool (or another user of
// the database) running apart from the test, so that it can be killed, made
// to hold a lock, or run under limits the test itself must not have.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace faults {

class ChildProcess {
public:
    // Runs body in a forked child; its result is the child's exit code. An
    // exception that escapes body ends the child with code 99. The child dies
    // with the test process.
    using Body = std::function<int(ChildProcess&)>;
    explicit ChildProcess(const Body& body);
    // Kills the child if it is still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // In the child: sends text to the parent.
    void Say(const std::string& text);
    // In the child: waits until the parent calls Tell (or ends).
    void Await();

    // In the parent: lets the child past its Await.
    void Tell();
    // In the parent: waits until what the child said holds marker, at most
    // timeout. False on time-out or when the child ended first.
    bool WaitFor(const std::string& marker, std::chrono::milliseconds timeout);
    // In the parent: SIGKILL, and waits for the child to be gone.
    void Kill();
    // In the parent: sends the signal and returns at once.
    void Signal(int signalNumber);
    // In the parent: waits for the child to end, at most timeout, then kills
    // it. Returns its exit code, 128 + signal when a signal ended it, or -1
    // when it had to be killed for taking too long.
    int Finish(std::chrono::milliseconds timeout);
    // Everything the child said so far.
    const std::string& Output() const { return output_; }

private:
    // Reads what the child said within timeout; false at end of file.
    bool readSome(std::chrono::milliseconds timeout);
    void reap(int status);

    pid_t pid_ = -1;
    int fromChild_ = -1;
    int toChild_ = -1;
    bool inChild_ = false;
    bool eof_ = false;
    int exitStatus_ = -1;
    std::string output_;
};

}  // namespace faults

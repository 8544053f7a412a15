// A loopback TCP proxy that forwards to a port of 127.0.0.1, as a network
// between the program and its server would: each chunk it reads is passed on
// after the given latency (none by default), and once told to stall it reads
// and writes nothing but keeps every socket open, as a network that silently
// stops forwarding would.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace testing_support {

class LoopbackProxy {
public:
    explicit LoopbackProxy(int targetPort, std::chrono::microseconds latency = {});
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy&) = delete;
    LoopbackProxy& operator=(const LoopbackProxy&) = delete;

    int port() const { return port_; }
    void Stall() { stalled_ = true; }

private:
    void acceptLoop();
    void forward(int client, int server);

    int targetPort_;
    std::chrono::microseconds latency_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stalled_{false};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::thread> pipes_;
    std::thread acceptor_;
};

}  // namespace testing_support

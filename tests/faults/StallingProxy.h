// A loopback TCP proxy that forwards to a port of 127.0.0.1 until told to
// stop: from then on it reads and writes nothing, but keeps every socket
// open, as a network that silently stops forwarding would.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace faults {

class StallingProxy {
public:
    explicit StallingProxy(int targetPort);
    ~StallingProxy();
    StallingProxy(const StallingProxy&) = delete;
    StallingProxy& operator=(const StallingProxy&) = delete;

    int port() const { return port_; }
    void Stall() { stalled_ = true; }

private:
    void acceptLoop();
    void forward(int client, int server);

    int targetPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stalled_{false};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::thread> pipes_;
    std::thread acceptor_;
};

}  // namespace faults

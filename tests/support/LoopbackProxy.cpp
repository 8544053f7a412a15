#include "LoopbackProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testing_support {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

}  // namespace

LoopbackProxy::LoopbackProxy(int targetPort, std::chrono::microseconds latency)
    : targetPort_(targetPort), latency_(latency) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ >= 0) close(listener_);
        throw std::runtime_error("the proxy cannot listen");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackProxy::~LoopbackProxy() {
    stopping_ = true;
    acceptor_.join();
    for (auto& pipe : pipes_) pipe.join();
    close(listener_);
}

void LoopbackProxy::acceptLoop() {
    while (!stopping_) {
        pollfd ready{listener_, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0) continue;
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0) continue;
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in target = loopback(targetPort_);
        if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
            close(client);
            if (server >= 0) close(server);
            continue;
        }
        // What the proxy reads goes on at once, as the client and the server
        // each send it: no waiting to gather more.
        const int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        std::lock_guard lock(mutex_);
        pipes_.emplace_back([this, client, server] { forward(client, server); });
    }
}

// Copies both ways until either side closes or the proxy stops, each chunk
// after the latency; once stalled, it only waits.
void LoopbackProxy::forward(int client, int server) {
    char buffer[16384];
    while (!stopping_) {
        if (stalled_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(fds, 2, 50) <= 0) continue;
        bool closed = false;
        for (int i = 0; i < 2 && !closed; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
            if (got > 0 && latency_.count() > 0) std::this_thread::sleep_for(latency_);
            closed = got <= 0 || write(fds[1 - i].fd, buffer, static_cast<std::size_t>(got)) != got;
        }
        if (closed) break;
    }
    close(client);
    close(server);
}

}  // namespace testing_support

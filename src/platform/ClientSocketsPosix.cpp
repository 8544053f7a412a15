#include "ClientSockets.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace platform {
namespace {

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = sizeof(sockaddr_storage);
};

bool sameEndpoint(const Endpoint& a, const Endpoint& b) {
    return a.length == b.length && std::memcmp(&a.address, &b.address, a.length) == 0;
}

std::set<int> openDescriptors() {
    std::set<int> descriptors;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return descriptors;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd != own) descriptors.insert(static_cast<int>(fd));
    }
    ::closedir(dir);
    return descriptors;
}

}  // namespace

std::vector<int> ClientSockets() {
    std::vector<std::pair<int, Endpoint>> connected;
    std::vector<Endpoint> listening;
    for (int fd : openDescriptors()) {
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) continue;
        int type = 0, accepting = 0;
        socklen_t size = sizeof type;
        if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM) continue;
        Endpoint local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local.address), &local.length) != 0 ||
            (local.address.ss_family != AF_INET && local.address.ss_family != AF_INET6))
            continue;
        size = sizeof accepting;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) == 0 && accepting) {
            listening.push_back(local);
            continue;
        }
        Endpoint peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer.address), &peer.length) == 0)
            connected.emplace_back(fd, local);
    }
    // A socket whose local end is a listening socket's was accepted, not opened.
    std::vector<int> result;
    for (const auto& [fd, local] : connected) {
        bool accepted = false;
        for (const auto& l : listening) accepted = accepted || sameEndpoint(l, local);
        if (!accepted) result.push_back(fd);
    }
    return result;
}

void ShutDownSockets(const std::vector<int>& sockets) {
    for (int fd : sockets) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace platform

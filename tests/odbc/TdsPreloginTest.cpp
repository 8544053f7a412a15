// What a SQL Server login through FreeTDS asks for in its first packet: the
// ENCRYPTION option of PRELOGIN says whether the login (user and password)
// may travel in clear. A listener on 127.0.0.1 reads that packet and hangs up.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ado/AdoError.h"
#include "ado/Connection.h"

namespace {

// ENCRYPTION option values of PRELOGIN.
constexpr int kEncryptOff = 0x00;  // encryption available: at least the login is encrypted
constexpr int kEncryptOn = 0x01;   // the whole session encrypted, or no session
constexpr int kEncryptNotSupported = 0x02;

class PreloginListener {
public:
    PreloginListener() {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(socket_, 1) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serveOne(); });
    }
    ~PreloginListener() {
        if (thread_.joinable()) thread_.join();
        ::close(socket_);
    }

    int port() const { return port_; }
    // The ENCRYPTION byte of the one PRELOGIN packet received.
    std::optional<int> Encryption() {
        thread_.join();
        return encryption_;
    }

private:
    void serveOne() {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) != 1) return;
        const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        timeval timeout{10, 0};
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::vector<unsigned char> packet(8);
        if (readAll(client, packet.data(), 8) && packet[0] == 0x12) {  // PRELOGIN
            const std::size_t size = (packet[2] << 8) | packet[3];
            packet.resize(std::max<std::size_t>(size, 8));
            if (readAll(client, packet.data() + 8, packet.size() - 8)) encryption_ = encryptionOption(packet);
        }
        ::close(client);
    }

    static bool readAll(int fd, unsigned char* buffer, std::size_t size) {
        while (size > 0) {
            const ssize_t got = ::recv(fd, buffer, size, 0);
            if (got <= 0) return false;
            buffer += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    // Options: token, offset and length (big-endian, from the payload's
    // start), up to the terminator 0xFF; ENCRYPTION is token 1.
    static std::optional<int> encryptionOption(const std::vector<unsigned char>& packet) {
        const unsigned char* payload = packet.data() + 8;
        const std::size_t size = packet.size() - 8;
        for (std::size_t i = 0; i + 5 <= size && payload[i] != 0xFF; i += 5) {
            const std::size_t offset = (payload[i + 1] << 8) | payload[i + 2];
            const std::size_t length = (payload[i + 3] << 8) | payload[i + 4];
            if (payload[i] == 0x01 && length >= 1 && offset < size) return payload[offset];
        }
        return std::nullopt;
    }

    int socket_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::optional<int> encryption_;
};

TEST(FreeTdsLogin, IsEncryptedWheneverTheServerAllows) {
    struct Case {
        const char* setting;
        int encryption;
    } cases[] = {
        {"", kEncryptOff},
        {"Encrypt=no;", kEncryptOff},
        {"Use Encryption for Data=False;", kEncryptOff},
        {"Use Encryption for Data=True;", kEncryptOn},
        {"Encrypt=yes;TrustServerCertificate=true;", kEncryptOn},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        PreloginListener listener;
        ado::Connection connection;
        ::testing::internal::CaptureStderr();
        EXPECT_THROW(
            connection.Open("Provider=SQLOLEDB.1;Data Source=127.0.0.1," + std::to_string(listener.port()) +
                            ";User ID=sa;Password=segredo;Connect Timeout=5;" + c.setting),
            ado::AdoError);
        ::testing::internal::GetCapturedStderr();
        const auto encryption = listener.Encryption();
        ASSERT_TRUE(encryption.has_value()) << "no PRELOGIN packet";
        EXPECT_EQ(*encryption, c.encryption) << (*encryption == kEncryptNotSupported ? "login in clear" : "");
    }
}

}  // namespace

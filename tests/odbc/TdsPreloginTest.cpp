// What a SQL Server login through FreeTDS asks for in its first packet: the
// ENCRYPTION option of PRELOGIN says whether the login (user and password)
// may travel in clear. A listener on 127.0.0.1 reads that packet and hangs up.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
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

// A TDS server on 127.0.0.1 that logs one client in (no encryption, any
// user), answers each batch with an empty DONE until told to stall, and from
// then on reads and never answers, as a server behind a network that stopped
// forwarding would.
class StallingTdsServer {
public:
    StallingTdsServer() {
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
        thread_ = std::thread([this] { serve(); });
    }
    ~StallingTdsServer() {
        done_ = true;
        thread_.join();
        ::close(socket_);
    }

    int port() const { return port_; }
    void Stall() { stalled_ = true; }

private:
    void serve() {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) != 1) return;
        const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        std::vector<unsigned char> packet;
        while (readPacket(client, packet)) {
            if (stalled_) continue;
            if (packet[0] == 0x12) {  // PRELOGIN: version 15.0, encryption not supported
                reply(client, {0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00, 0x01, 0xFF, 0x0F, 0x00,
                               0x07, 0xD0, 0x00, 0x00, 0x02});
            } else if (packet[0] == 0x10) {  // LOGIN7: LOGINACK for TDS 7.4, then DONE
                std::vector<unsigned char> tokens = {0xAD, 0x10, 0x00, 0x01, 0x74, 0x00, 0x00, 0x04, 0x03};
                for (char c : std::string("SQL"))
                    tokens.insert(tokens.end(), {static_cast<unsigned char>(c), 0});
                tokens.insert(tokens.end(), {0x0F, 0x00, 0x07, 0xD0});
                appendDone(tokens);
                reply(client, tokens);
            } else if (packet[0] == 0x01 || packet[0] == 0x0E) {  // a batch or a transaction request
                std::vector<unsigned char> tokens;
                appendDone(tokens);
                reply(client, tokens);
            }
        }
        ::close(client);
    }

    // One whole message (packets up to the one marked last), or false when
    // the client has gone or the server is being destroyed.
    bool readPacket(int fd, std::vector<unsigned char>& message) {
        message.clear();
        for (;;) {
            unsigned char header[8];
            if (!readAll(fd, header, 8)) return false;
            const std::size_t size = (header[2] << 8) | header[3];
            std::vector<unsigned char> body(size > 8 ? size - 8 : 0);
            if (!readAll(fd, body.data(), body.size())) return false;
            if (message.empty()) message.push_back(header[0]);
            message.insert(message.end(), body.begin(), body.end());
            if (header[1] & 0x01) return true;
        }
    }

    bool readAll(int fd, unsigned char* buffer, std::size_t size) {
        while (size > 0) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 100) == 0) {
                if (done_) return false;
                continue;
            }
            const ssize_t got = ::recv(fd, buffer, size, 0);
            if (got <= 0) return false;
            buffer += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    static void appendDone(std::vector<unsigned char>& tokens) {
        tokens.push_back(0xFD);
        tokens.insert(tokens.end(), 12, 0x00);  // status, command, row count (8 bytes)
    }

    static void reply(int fd, const std::vector<unsigned char>& payload) {
        const std::size_t size = payload.size() + 8;
        std::vector<unsigned char> packet = {
            0x04, 0x01, static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size & 0xFF), 0, 0,
            1,    0};
        packet.insert(packet.end(), payload.begin(), payload.end());
        ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL);
    }

    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stalled_{false};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A statement the server never answers fails after the command time-out,
// not after a second wait for the answer to the driver's cancel.
TEST(FreeTdsSession, AStatementThatGetsNoAnswerFailsAfterTheCommandTimeout) {
    StallingTdsServer server;
    ado::Connection connection;
    connection.Open("Provider=SQLOLEDB.1;Data Source=127.0.0.1," + std::to_string(server.port()) +
                    ";User ID=sa;Password=segredo;Connect Timeout=5;Command Timeout=2");
    connection.Execute("SET NOCOUNT ON");
    server.Stall();
    ::testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t status = 0;
    try {
        connection.Execute("DELETE FROM Exame WHERE Numero_Exame = '1'");
    } catch (const ado::AdoError& e) {
        status = e.status();
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0x80040E31u) << diagnostics;
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::milliseconds(3400)) << diagnostics;
}

}  // namespace

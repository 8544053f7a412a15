// What a SQL Server login through FreeTDS asks for in its first packet: the
// ENCRYPTION option of PRELOGIN says whether the login (user and password)
// may travel in clear. A listener on 127.0.0.1 reads that packet and hangs up,
// or answers that it cannot encrypt and reads the login that follows, to see
// the user, password and database exactly as FreeTDS read them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"

namespace {

// ENCRYPTION option values of PRELOGIN.
constexpr int kEncryptOff = 0x00;  // encryption available: at least the login is encrypted
constexpr int kEncryptOn = 0x01;   // the whole session encrypted, or no session
constexpr int kEncryptNotSupported = 0x02;

// The fields of a LOGIN7 packet that carry what the connection string gave.
struct Login {
    std::string user;
    std::string password;
    std::string database;
};

// A socket listening on 127.0.0.1 on a port the system picks; port gets it.
int ListenOnLoopback(int& port) {
    const int listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listening < 0 || ::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listening, 1) != 0 ||
        ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port = ntohs(address.sin_port);
    return listening;
}

class PreloginListener {
public:
    // answer: reply to PRELOGIN that encryption is not available, so that
    // the login follows in clear.
    explicit PreloginListener(bool answer = false) : answer_(answer) {
        socket_ = ListenOnLoopback(port_);
        thread_ = std::thread([this] { serveOne(); });
    }
    ~PreloginListener() {
        if (thread_.joinable()) thread_.join();
        ::close(socket_);
    }

    int port() const { return port_; }
    // The ENCRYPTION byte of the one PRELOGIN packet received.
    std::optional<int> Encryption() {
        if (thread_.joinable()) thread_.join();
        return encryption_;
    }
    // The login received after the answer, if any.
    std::optional<Login> Received() {
        if (thread_.joinable()) thread_.join();
        return login_;
    }
    // Stops waiting; whether anybody came.
    bool Contacted() {
        ::shutdown(socket_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        return contacted_;
    }

private:
    void serveOne() {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) != 1 || !(waiting.revents & POLLIN)) return;
        const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        contacted_ = true;
        timeval timeout{10, 0};
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        auto packet = readPacket(client);
        if (packet && (*packet)[0] == 0x12) {  // PRELOGIN
            encryption_ = encryptionOption(*packet);
            // VERSION (6 bytes) and ENCRYPTION = not supported.
            const unsigned char reply[] = {0x04, 0x01, 0x00, 26, 0, 0,    1,  0, 0x00, 0, 11, 0, 6,
                                           0x01, 0,    17,   0,  1, 0xFF, 16, 0, 0,    0, 0,  0, 0x02};
            if (answer_ && ::send(client, reply, sizeof reply, MSG_NOSIGNAL) == sizeof reply) {
                packet = readPacket(client);
                if (packet && (*packet)[0] == 0x10) login_ = loginFields(*packet);  // LOGIN7
            }
        }
        ::close(client);
    }

    static std::optional<std::vector<unsigned char>> readPacket(int fd) {
        std::vector<unsigned char> packet(8);
        if (!readAll(fd, packet.data(), 8)) return std::nullopt;
        const std::size_t size = (packet[2] << 8) | packet[3];
        packet.resize(std::max<std::size_t>(size, 8));
        if (!readAll(fd, packet.data() + 8, packet.size() - 8)) return std::nullopt;
        return packet;
    }

    // LOGIN7: offset and length (characters of UTF-16, little-endian) of
    // each text from the payload's start; the password's bytes have their
    // halves swapped and are XORed with 0xA5.
    static Login loginFields(const std::vector<unsigned char>& packet) {
        const unsigned char* payload = packet.data() + 8;
        const std::size_t size = packet.size() - 8;
        auto text = [&](std::size_t at, bool password) {
            std::string out;
            if (at + 4 > size) return out;
            const std::size_t offset = payload[at] | (payload[at + 1] << 8);
            const std::size_t length = payload[at + 2] | (payload[at + 3] << 8);
            for (std::size_t i = 0; i < length && offset + 2 * i + 1 < size; ++i) {
                unsigned char low = payload[offset + 2 * i];
                if (password) low = static_cast<unsigned char>(((low ^ 0xA5) >> 4) | ((low ^ 0xA5) << 4));
                out += static_cast<char>(low);  // the tests use ASCII only
            }
            return out;
        };
        return {text(40, false), text(44, true), text(68, false)};
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

    bool answer_ = false;
    int socket_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::optional<int> encryption_;
    std::optional<Login> login_;
    bool contacted_ = false;
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

// FreeTDS ends a braced value at its first "};" and keeps "}}": each value
// reaches the server as configured, and one that FreeTDS could not read so
// is refused before any connection, so that no key of its own (DumpFile
// creates its file before the login) can hide in a value.
TEST(FreeTdsLogin, CarriesEachValueAsConfiguredOrRefusesIt) {
    testing_support::TempDir dir;
    const std::string dump = dir.file("dump.log");
    struct Case {
        std::string setting;
        std::optional<Login> expected;  // nothing: refused at start-up
    } cases[] = {
        {"User ID=\"u;v\";Password=\"a;b\";Initial Catalog={d;b}", Login{"u;v", "a;b", "d;b"}},
        {"User ID=sa;Password=\"p}w\";Initial Catalog=\"{db\"", Login{"sa", "p}w", "{db"}},
        {"User ID=sa;Password=\"p}}w\";Initial Catalog=db", Login{"sa", "p}}w", "db"}},
        {"User ID=sa;Password=\"p}w;x\";Initial Catalog=db", std::nullopt},
        {"User ID=sa;Password=x;Initial Catalog=\"db};DumpFile=" + dump + ";\"", std::nullopt},
        {"User ID=sa;Password=x;Initial Catalog=\"db}};DumpFile=" + dump + ";\"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        PreloginListener listener(true);
        ado::Connection connection;
        ::testing::internal::CaptureStderr();
        std::uint32_t status = 0;
        try {
            connection.Open("Provider=SQLOLEDB.1;Data Source=127.0.0.1," + std::to_string(listener.port()) +
                            ";Connect Timeout=5;" + c.setting);
        } catch (const ado::AdoError& e) {
            status = e.status();
        }
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 0x80040E96u);
        EXPECT_FALSE(std::filesystem::exists(dump));
        if (c.expected) {
            const auto login = listener.Received();
            ASSERT_TRUE(login.has_value()) << diagnostics;
            EXPECT_EQ(login->user, c.expected->user);
            EXPECT_EQ(login->password, c.expected->password);
            EXPECT_EQ(login->database, c.expected->database);
        } else {
            EXPECT_NE(diagnostics.find("cannot be passed to the ODBC driver"), std::string::npos)
                << diagnostics;
            EXPECT_FALSE(listener.Contacted());
        }
    }
}

// A TDS server on 127.0.0.1 that logs one client in (no encryption, any
// user), answers each batch with an empty DONE until told to stall, and from
// then on reads and never answers, as a server behind a network that stopped
// forwarding would.
class StallingTdsServer {
public:
    StallingTdsServer() {
        socket_ = ListenOnLoopback(port_);
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

// The MariaDB driver as a clinic's IT may register it: under a name of its
// own in odbcinst.ini, behind a data source, or as a library whose file name
// says nothing. The driver manager reads ODBCSYSINI once, at its first use,
// so this executable points it at a registration of its own before any.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "LoopbackProxy.h"
#include "MariaDbServer.h"
#include "TempDir.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"

namespace {

using ado::AdoError;
using ado::Connection;
using ado::Recordset;
using testing_support::MariaDbServer;

// Where Debian's driver manager finds a driver registered by file name only.
std::string mariaDbLibrary() {
    for (const char* dir :
         {"/usr/lib/x86_64-linux-gnu/odbc/", "/usr/lib/aarch64-linux-gnu/odbc/", "/usr/lib/odbc/"})
        if (std::filesystem::exists(std::string(dir) + "libmaodbc.so"))
            return std::string(dir) + "libmaodbc.so";
    return "libmaodbc.so";
}

const testing_support::TempDir& registration() {
    static const testing_support::TempDir dir;
    return dir;
}

const bool registered = [] {
    const auto& dir = registration();
    std::error_code ignored;
    std::filesystem::create_symlink(mariaDbLibrary(), dir.file("libbanco.so"), ignored);
    dir.write("odbcinst.ini",
              "[MariaDB Unicode]\nDriver=libmaodbc.so\n[Banco Laudos]\nDriver=libmaodbc.so\n"
              "[Banco]\nDriver=" +
                  dir.file("libbanco.so") + "\n");
    setenv("ODBCSYSINI", dir.path().c_str(), 1);
    return true;
}();

template <typename Action>
std::uint32_t statusOf(Action action) {
    try {
        action();
    } catch (const AdoError& e) {
        return e.status();
    }
    return 0;
}

// The password as ODBC braces it.
std::string loginFor(const MariaDbServer& server) {
    std::string login = ";UID=root;PWD={";
    for (char c : server.password()) login += c == '}' ? std::string("}}") : std::string(1, c);
    return login + "}";
}

// Reached by its own name, through a data source (whose entry asks for
// automatic reconnection) or by its library, MariaDB's driver gets the same
// safeguards: a session that the server drops stays lost, and "100\3" never
// reaches examination 1003. A driver that its registration does not show to
// be MariaDB's, but that turns out to be, is refused once it has answered.
TEST(DriverRegistration, SafeguardsFollowWhatTheDriverIsNotItsName) {
    ASSERT_TRUE(registered);
    MariaDbServer& server = MariaDbServer::Shared();
    server.RunSql("DROP TABLE IF EXISTS Exame; CREATE TABLE Exame (Número_Exame VARCHAR(40) PRIMARY KEY)");
    const auto& ini = registration();
    const std::string pairs = "Server=127.0.0.1\nPort=" + std::to_string(server.port()) +
                              "\nDatabase=" + server.database() + "\nAUTO_RECONNECT=1\nOPTION=4194304\n";
    ini.write("odbc.ini", "[Laudos]\nDriver=Banco Laudos\n" + pairs +
                              "[Biblioteca]\nDriver=" + mariaDbLibrary() + "\n" + pairs);

    const std::string login = loginFor(server);
    const std::string direct = "Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                               ";Database=" + server.database() + ";AUTO_RECONNECT=1";
    struct Case {
        std::string connectionString;
        bool refused;
    } cases[] = {
        {"Provider=MSDASQL;Driver={Banco Laudos};" + direct + login, false},
        {"DSN=Laudos" + login, false},
        {"Provider=MSDASQL;Data Source=Biblioteca" + login, false},
        {"Driver={Banco};" + direct + login, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connectionString);
        server.RunSql("INSERT IGNORE INTO Exame VALUES ('1003'), ('100\\\\3')");
        Connection connection;
        ::testing::internal::CaptureStderr();
        const auto status = statusOf([&] { connection.Open(c.connectionString); });
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(diagnostics.find(server.password()), std::string::npos) << diagnostics;
        if (c.refused) {
            EXPECT_EQ(status, 0x80040E96u);
            EXPECT_NE(diagnostics.find("connection refused: the driver that answered (\"libmaodbc.so\")"),
                      std::string::npos)
                << diagnostics;
            EXPECT_EQ(connection.State(), ado::adStateClosed);
            continue;
        }
        ASSERT_EQ(status, 0u) << diagnostics;
        Recordset session;
        session.Open("SELECT @@SESSION.sql_mode, CONNECTION_ID()", connection);
        EXPECT_NE(ado::ToText(session.Fields(0).Value()).find("NO_BACKSLASH_ESCAPES"), std::string::npos);
        server.RunSql("KILL " + ado::ToText(session.Fields(1).Value()));
        ::testing::internal::CaptureStderr();
        const auto lost =
            statusOf([&] { connection.Execute("DELETE FROM Exame WHERE Número_Exame = '100\\3'"); });
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(lost, 0x80070040u);
        EXPECT_EQ(server.RunSql("SELECT COUNT(*) FROM Exame"), "2\n");
    }
}

// A network that stops forwarding after the connection is made: the
// statement gives up after the command time-out, under the driver's own
// name too, instead of waiting for ever.
TEST(DriverRegistration, ANetworkThatStopsForwardingTimesOutWhateverTheDriversName) {
    ASSERT_TRUE(registered);
    MariaDbServer& server = MariaDbServer::Shared();
    server.RunSql("DROP TABLE IF EXISTS Exame; CREATE TABLE Exame (Número_Exame VARCHAR(40) PRIMARY KEY)");
    testing_support::LoopbackProxy proxy(server.port());
    Connection connection;
    connection.Open(
        "Provider=MSDASQL;Driver={Banco Laudos};Server=127.0.0.1;Port=" + std::to_string(proxy.port()) +
        ";Database=" + server.database() + ";Command Timeout=2" + loginFor(server));
    proxy.Stall();
    const auto start = std::chrono::steady_clock::now();
    ::testing::internal::CaptureStderr();
    const auto status =
        statusOf([&] { connection.Execute("DELETE FROM Exame WHERE Número_Exame = '1003'"); });
    ::testing::internal::GetCapturedStderr();
    EXPECT_NE(status, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

}  // namespace

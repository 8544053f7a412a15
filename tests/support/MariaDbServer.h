// A private MariaDB server for the tests of one executable.
//
// The server lives in a temporary directory of its own, listens on a free TCP
// port of 127.0.0.1 and on a private socket, and holds one database. Its root
// user has a password, so that connection strings exercise the password path.
// A server that cannot be started (mariadbd or mariadb-install-db missing, a
// start that times out) makes the test fail: they are installed by
// scripts/setup, and a silently skipped test would prove nothing.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

namespace testing_support {

class MariaDbServer {
public:
    // The server shared by the tests of this executable, started on first
    // use and stopped when the executable ends. Throws std::runtime_error
    // when it cannot be started (every later call throws the same).
    static MariaDbServer& Shared();

    // Creates a data directory, starts the server on it, sets the root
    // password and creates the database.
    MariaDbServer();
    // The same, with more server options, which win over the tests' own
    // (the benches give the server the memory a real one has).
    explicit MariaDbServer(std::vector<std::string> serverOptions);
    // Stops the server and removes its directory.
    ~MariaDbServer();
    MariaDbServer(const MariaDbServer&) = delete;
    MariaDbServer& operator=(const MariaDbServer&) = delete;

    // Starts the server again on the same data directory and port (after
    // Kill or Stop) and waits until it accepts connections.
    void Start();
    // Ends the server at once with SIGKILL, as a crash or a power cut would.
    void Kill();
    // Shuts the server down: SIGTERM, then SIGKILL when it has not gone
    // within a few seconds.
    void Stop();
    bool Running() const { return pid_ > 0; }

    int port() const { return port_; }
    const std::string& password() const { return password_; }
    const std::string& database() const { return database_; }
    std::string socketPath() const;

    // The ADO connection string for this server through the "MariaDB
    // Unicode" ODBC driver: "Provider=MSDASQL;Driver={MariaDB Unicode};...";
    // through port instead of the server's own when one is given (a proxy).
    std::string ConnectionString(int port = 0) const;

    // Runs statements with the mariadb command-line client in the test
    // database (independent of the code under test) and returns what it
    // printed, tab-separated without headers. Throws when the client fails.
    std::string RunSql(const std::string& sql) const;

private:
    void launch();
    void waitUntilReady();

    TempDir dir_;
    std::vector<std::string> serverOptions_;
    std::string password_;
    std::string database_ = "remover_test";
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace testing_support

// The databases the removal suites run on: SQLite files, and the private
// MariaDB server reached through the ODBC provider.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "ExamDatabase.h"
#include "MariaDbServer.h"
#include "TempDir.h"
#include "ado/Connection.h"

namespace testing_support {

// A database the suite can rebuild for each test.
class ExamBackend {
public:
    virtual ~ExamBackend() = default;
    // A fresh examination database with the seed rows; its connection string.
    virtual std::string Fresh(Twins twins) = 0;
    // Whether a constraint can be checked only at commit.
    virtual bool HasDeferredConstraints() const = 0;
    // Whether beginning a transaction takes the write lock, so that a begin
    // can fail while another session writes.
    virtual bool BeginTakesWriteLock() const = 0;
    // The same database, for a session that waits only briefly for locks.
    virtual std::string WithShortLockWait(const std::string& connectionString) const = 0;
};

class SqliteBackend : public ExamBackend {
public:
    std::string Fresh(Twins twins) override {
        return CreateSqliteExamDatabase(dir_.file("exames-" + std::to_string(++count_) + ".db"), twins);
    }
    bool HasDeferredConstraints() const override { return true; }
    bool BeginTakesWriteLock() const override { return true; }
    std::string WithShortLockWait(const std::string& connectionString) const override {
        return connectionString + ";Busy Timeout=200";
    }

private:
    TempDir dir_;
    int count_ = 0;
};

// The same suite through the ODBC provider against the private MariaDB
// server: the statements go there unchanged.
class MariaDbBackend : public ExamBackend {
public:
    std::string Fresh(Twins twins) override {
        MariaDbServer& server = MariaDbServer::Shared();
        server.RunSql("DROP DATABASE IF EXISTS " + server.database() + "; CREATE DATABASE " +
                      server.database() + " CHARACTER SET utf8mb4;");
        ado::Connection connection(server.ConnectionString());
        connection.Open();
        connection.BeginTrans();
        LoadExamDatabase(connection, twins);
        connection.CommitTrans();
        return server.ConnectionString();
    }
    bool HasDeferredConstraints() const override { return false; }
    bool BeginTakesWriteLock() const override { return false; }
    std::string WithShortLockWait(const std::string& connectionString) const override {
        return connectionString;
    }
};

using BackendFactory = std::function<std::unique_ptr<ExamBackend>()>;

inline BackendFactory SqliteExamBackend() {
    return [] { return std::make_unique<SqliteBackend>(); };
}
inline BackendFactory MariaDbExamBackend() {
    return [] { return std::make_unique<MariaDbBackend>(); };
}

// Each suite instance holds one database; the instance name says which.
inline std::string DatabaseName(const ::testing::TestParamInfo<BackendFactory>&) { return "db"; }

}  // namespace testing_support

// The ADO-style connection object.
//
// One object stands for one database connection. While closed it holds only
// its connection string; Open asks the provider that the string names for a
// Session and keeps it until Close. Every failing member throws AdoError.
//
// A session that the provider reports broken (the server connection was lost,
// or a transaction could not be ended cleanly) is dropped at once, so the
// server rolls back what it still holds; the connection stays open in name
// and every later call fails with ConnectionLost until Close. Nothing is ever
// run on a session whose set-up may have been lost.
//
// A server session can also be replaced without a failure being seen (a
// driver that reconnects on its own). The server's number for the session is
// read when the connection opens, right after its set-up, and read again
// inside every transaction BeginTrans starts: a session that is not the one
// opened is dropped as lost before anything runs in its transaction.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ObjectState.h"
#include "RowSet.h"
#include "Session.h"

namespace ado {

class Recordset;

constexpr long adConnectUnspecified = -1;

constexpr long adSchemaColumns = 4;
constexpr long adSchemaTables = 20;

class Connection {
public:
    Connection() = default;
    explicit Connection(std::string connectionString);
    ~Connection();

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& ConnectionString() const { return connectionString_; }
    // Fails with 3705 while the connection is open.
    void SetConnectionString(const std::string& value);

    long State() const { return session_ || lost_ ? adStateOpen : adStateClosed; }

    // Opens with the stored connection string, or with connectionString when
    // it is not empty (it then replaces the stored one). userId and password,
    // when given, are added to the string as its User ID and Password.
    void Open(const std::string& connectionString = {}, const std::string& userId = {},
              const std::string& password = {}, long options = adConnectUnspecified);
    // Fails with 3704 when already closed. An open transaction is rolled back.
    // A connection whose session was lost closes without complaint.
    void Close();

    // Runs one statement; recordsAffected, when given, receives the number of
    // rows it changed (-1 when the database does not say). A statement text
    // that holds a NUL character is refused with ErrorsInCommand before any
    // provider sees it: drivers read such a text up to the NUL, or past it.
    void Execute(const std::string& commandText, long* recordsAffected = nullptr,
                 long options = adCmdUnspecified);

    // Runs one statement with "?" parameters (see Session::ExecuteWith).
    void ExecuteWith(const std::string& commandText, const std::vector<Parameter>& parameters,
                     long* recordsAffected = nullptr);
    // See Session::LockingReadClause.
    std::string LockingReadClause();
    // See Session::Savepoints.
    SavepointSyntax Savepoints();
    // name as a quoted identifier of the open database.
    std::string QuoteIdentifier(const std::string& name);

    // The provider does not nest transactions: a second BeginTrans while one
    // is active fails with XACT_E_XTIONEXISTS, and CommitTrans or
    // RollbackTrans with none active fail with XACT_E_NOTRANSACTION.
    // BeginTrans fails with ConnectionLost, the session dropped, when the
    // server's session is not the one that was opened.
    long BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return inTransaction_; }

    // After CommitTrans failed: true when the reply to the commit was lost
    // (the connection went, or the wait ran out), so the server may have
    // committed it all the same.
    bool CommitOutcomeUnknown() const { return commitOutcomeUnknown_; }
    // True once the session was dropped as lost; the connection is open in
    // name only.
    bool SessionLost() const { return lost_; }
    // The server's number for the session opened last (kept after it was
    // dropped); empty when the database has no server sessions.
    const std::string& SessionIdentity() const { return identity_; }
    // Whether the server still holds the session numbered identity, asked on
    // this connection's session; nullopt when it cannot tell.
    std::optional<bool> ServerHoldsSession(const std::string& identity);

    // A schema recordset (adSchemaTables or adSchemaColumns). restrictions
    // holds up to four values: catalog, schema, table name, and the table
    // type (tables) or column name (columns); empty ones restrict nothing.
    std::unique_ptr<Recordset> OpenSchema(long schema, const std::vector<std::string>& restrictions);

    // Used by Recordset::Open: runs a query on the open session (a NUL is
    // refused as by Execute).
    RowSet Query(const std::string& sql);
    // Runs queries in order on the open session (see Session::QueryEach).
    std::vector<RowSet> QueryEach(const std::vector<std::string>& queries);
    // See Session::QueriesInOneRequest.
    bool QueriesInOneRequest();

private:
    Session& openSession(const char* operation);
    // Runs action on the open session; when the session has become broken,
    // drops it before the failure (if any) goes on to the caller.
    template <typename Action>
    auto onSession(const char* operation, Action action);
    void dropBrokenSession(const char* operation);
    // Inside a transaction just begun: drops the session and fails with
    // ConnectionLost when it is not the one opened.
    void confirmSameSession();

    std::string connectionString_;
    std::unique_ptr<Session> session_;
    // Kept here rather than asked of the backend: some drivers accept a second
    // begin or a commit with nothing open, and the callers rely on both failing.
    bool inTransaction_ = false;
    // The session was dropped as broken; the connection is open in name only.
    bool lost_ = false;
    bool commitOutcomeUnknown_ = false;
    std::string identity_;
};

}  // namespace ado

// An open connection to one database, as a provider implements it.
//
// Connection (the ADO-style object the program uses) owns one Session while it
// is open and keeps the transaction bookkeeping itself; a Session only carries
// out what it is told. Every member reports failure by throwing AdoError with
// the most specific status code that fits, after writing the provider's own
// description and the failing statement to standard error.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "RowSet.h"

namespace ado {

// How a database names a point inside a transaction that it can roll back
// to, leaving the rest of the transaction as it was.
enum class SavepointSyntax {
    None,         // it cannot (Access)
    Standard,     // SAVEPOINT x, ROLLBACK TO SAVEPOINT x, RELEASE SAVEPOINT x
    TransactSql,  // SAVE TRANSACTION x, ROLLBACK TRANSACTION x (none is released)
};

class Session {
public:
    virtual ~Session() = default;

    // Runs one statement. Rows it returns, if any, are read and dropped.
    // Returns the number of rows the statement changed, or -1 when the
    // database does not say.
    virtual long Execute(const std::string& sql) = 0;

    // Runs one statement whose "?" markers take parameters, in order: the
    // values never become part of the statement's text. Returns the rows it
    // changed, as Execute.
    virtual long ExecuteWith(const std::string& sql, const std::vector<Parameter>& parameters) = 0;

    // How this database quotes a name so that it is read as a name only: the
    // character to put around it (a quote inside is written twice).
    virtual char IdentifierQuote() { return '"'; }

    // What ends a query inside a transaction so that the rows it reads stay
    // as read until the transaction ends (" FOR UPDATE"), or empty text where
    // the transaction already keeps other writers out.
    virtual std::string LockingReadClause() { return {}; }

    // See SavepointSyntax.
    virtual SavepointSyntax Savepoints() { return SavepointSyntax::None; }

    // Runs one query and fetches all of its rows.
    virtual RowSet Query(const std::string& sql) = 0;

    // Runs the queries in order and fetches all the rows of each, with the
    // outcome of Query on each in turn: the first that fails stops the rest.
    // A database that takes several queries in one request (see
    // QueriesInOneRequest) is sent them together, so that a server is waited
    // for once rather than once per query.
    virtual std::vector<RowSet> QueryEach(const std::vector<std::string>& queries) {
        std::vector<RowSet> results;
        for (const std::string& sql : queries) results.push_back(Query(sql));
        return results;
    }
    // Whether QueryEach sends its queries in one request.
    virtual bool QueriesInOneRequest() { return false; }

    // Starts a transaction: from here on nothing is committed until Commit.
    virtual void BeginTransaction() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;

    // The tables schema: columns TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
    // TABLE_TYPE, one row per table or view of the current database. An empty
    // restriction leaves that column unrestricted; tableType is "TABLE",
    // "VIEW" or "SYSTEM TABLE".
    virtual RowSet TablesSchema(const std::string& tableName, const std::string& tableType) = 0;

    // The columns schema: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
    // COLUMN_NAME, ORDINAL_POSITION (from 1), DATA_TYPE and COLUMN_TYPE (both
    // the ADO data-type code), one row per column in ordinal order. Empty
    // restrictions leave that column unrestricted.
    virtual RowSet ColumnsSchema(const std::string& tableName, const std::string& columnName) = 0;

    // True once the session can no longer be trusted: the server connection
    // was lost, or a transaction could not be ended cleanly. The connection
    // then drops the session (the server rolls back whatever it still holds)
    // and fails every later call with ConnectionLost.
    virtual bool Broken() const { return false; }

    // The server's own number for this session (its connection id), asked of
    // the server anew at each call. A driver that reconnects on its own gets
    // a new number with its new session, which has none of the set-up made
    // when the connection was opened. Empty when the database has no server
    // sessions to tell apart (a file opened in this process).
    virtual std::string Identity() = 0;

    // Whether the server still holds the session that Identity named as
    // identity on another connection to it (that session's transaction may
    // still end either way while it does). nullopt when this database cannot
    // tell, or the user may not see other sessions.
    virtual std::optional<bool> HoldsSession(const std::string& identity) = 0;

    // After Commit failed: true when the reply to the commit was lost (the
    // connection went, or the wait ran out), so that the server may have
    // committed all the same.
    virtual bool CommitReplyLost() const { return false; }
};

}  // namespace ado

#include "Connection.h"

#include <type_traits>

#include "AdoError.h"
#include "Diagnostics.h"
#include "Providers.h"
#include "Recordset.h"
#include "StatusCodes.h"

namespace ado {
namespace {

// Drivers read a statement up to its first NUL, or copy it by one length and
// trim it by another: either way the text that runs is not the text given.
void refuseNul(const std::string& text, const char* operation) {
    if (text.find('\0') != std::string::npos)
        throw AdoError(status::ErrorsInCommand,
                       std::string(operation) + ": the command text holds a NUL character.");
}

}  // namespace

Connection::Connection(std::string connectionString) : connectionString_(std::move(connectionString)) {}

Connection::~Connection() {
    if (session_ && inTransaction_) {
        try {
            session_->Rollback();
        } catch (const AdoError&) {
            // The session goes away with the object; nothing more to do.
        }
    }
}

void Connection::SetConnectionString(const std::string& value) {
    if (session_ || lost_)
        throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    connectionString_ = value;
}

void Connection::Open(const std::string& connectionString, const std::string& userId,
                      const std::string& password, long /*options*/) {
    if (session_ || lost_)
        throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    if (!connectionString.empty()) connectionString_ = connectionString;
    std::string effective = connectionString_;
    if (!userId.empty()) effective += ";User ID=" + userId;
    if (!password.empty()) effective += ";Password=" + password;
    identity_.clear();
    auto session = OpenSession(effective);
    identity_ = session->Identity();
    session_ = std::move(session);
    inTransaction_ = false;
}

void Connection::Close() {
    if (lost_) {
        lost_ = false;
        return;
    }
    if (!session_)
        throw AdoError(status::ObjectClosed, "Operation is not allowed when the object is closed.");
    auto session = std::move(session_);
    if (inTransaction_) {
        inTransaction_ = false;
        try {
            session->Rollback();
        } catch (const AdoError&) {
            // Closing drops the backend connection, which ends its transaction too.
        }
    }
}

Session& Connection::openSession(const char* operation) {
    if (lost_)
        throw AdoError(status::ConnectionLost,
                       std::string(operation) + ": the connection to the database was lost earlier.");
    if (!session_)
        throw AdoError(status::ConnectionUnusable,
                       std::string(operation) + ": the connection is closed and cannot be used.");
    return *session_;
}

void Connection::dropBrokenSession(const char* operation) {
    if (!session_ || !session_->Broken()) return;
    platform::Diagnose("Connection",
                       std::string(operation) +
                           " left the database session unusable; it is closed (the server rolls back what it "
                           "still held) and every later call fails");
    // Freeing the session disconnects it; a transaction still open there is
    // abandoned, never committed.
    session_.reset();
    inTransaction_ = false;
    lost_ = true;
}

template <typename Action>
auto Connection::onSession(const char* operation, Action action) {
    Session& session = openSession(operation);
    try {
        if constexpr (std::is_void_v<decltype(action(session))>) {
            action(session);
            dropBrokenSession(operation);
        } else {
            auto result = action(session);
            dropBrokenSession(operation);
            return result;
        }
    } catch (const AdoError&) {
        dropBrokenSession(operation);
        throw;
    }
}

void Connection::Execute(const std::string& commandText, long* recordsAffected, long /*options*/) {
    openSession("Execute");
    refuseNul(commandText, "Execute");
    long affected = onSession("Execute", [&](Session& s) { return s.Execute(commandText); });
    if (recordsAffected) *recordsAffected = affected;
}

void Connection::ExecuteWith(const std::string& commandText, const std::vector<Parameter>& parameters,
                             long* recordsAffected) {
    openSession("Execute");
    refuseNul(commandText, "Execute");
    long affected = onSession("Execute", [&](Session& s) { return s.ExecuteWith(commandText, parameters); });
    if (recordsAffected) *recordsAffected = affected;
}

std::string Connection::LockingReadClause() {
    return onSession("LockingReadClause", [](Session& s) { return s.LockingReadClause(); });
}

SavepointSyntax Connection::Savepoints() {
    return onSession("Savepoints", [](Session& s) { return s.Savepoints(); });
}

std::string Connection::QuoteIdentifier(const std::string& name) {
    refuseNul(name, "QuoteIdentifier");
    const char quote = onSession("QuoteIdentifier", [](Session& s) { return s.IdentifierQuote(); });
    std::string quoted(1, quote);
    for (char c : name) {
        quoted += c;
        if (c == quote) quoted += c;
    }
    return quoted + quote;
}

long Connection::BeginTrans() {
    openSession("BeginTrans");
    if (inTransaction_)
        throw AdoError(status::TransactionExists, "A transaction is already active on this connection.");
    onSession("BeginTrans", [](Session& s) { s.BeginTransaction(); });
    inTransaction_ = true;
    confirmSameSession();
    return 1;
}

// Asked inside the transaction, so that whatever the caller runs next runs
// in the session asked about: a driver that replaced it on the way has done
// so by now (it also set up the transaction there).
void Connection::confirmSameSession() {
    if (identity_.empty()) return;
    std::string now;
    try {
        now = onSession("BeginTrans", [](Session& s) { return s.Identity(); });
    } catch (const AdoError&) {
        // A session still held ends the transaction it has just begun.
        if (session_) {
            inTransaction_ = false;
            try {
                onSession("BeginTrans", [](Session& s) { s.Rollback(); });
            } catch (const AdoError&) {
            }
        }
        throw;
    }
    if (now == identity_) return;
    platform::Diagnose("Connection",
                       "BeginTrans found the server's session " + now + " in place of session " + identity_ +
                           " opened by the program (the driver reconnected on its own, without the program's "
                           "set-up); it is closed unused and every later call fails");
    session_.reset();
    inTransaction_ = false;
    lost_ = true;
    throw AdoError(status::ConnectionLost, "BeginTrans: the database session was replaced by a new one.");
}

// The outcome is what the commit itself did. A session that committed but
// could not be put back in autocommit mode is dropped afterwards (see
// onSession) without turning the commit into a failure.
void Connection::CommitTrans() {
    openSession("CommitTrans");
    if (!inTransaction_) throw AdoError(status::NoTransaction, "No transaction is active.");
    inTransaction_ = false;
    commitOutcomeUnknown_ = false;
    try {
        onSession("CommitTrans", [this](Session& s) {
            try {
                s.Commit();
            } catch (const AdoError&) {
                commitOutcomeUnknown_ = s.CommitReplyLost();
                throw;
            }
        });
    } catch (const AdoError&) {
        // A backend whose commit failed may or may not have ended the
        // transaction; ask it to roll back so nothing half-done can be
        // committed later. A rollback that fails too leaves the session
        // broken, and it is dropped.
        if (session_) {
            try {
                onSession("CommitTrans", [](Session& s) { s.Rollback(); });
            } catch (const AdoError&) {
            }
        }
        throw;
    }
}

// A rollback that fails leaves the session broken: it is dropped, and the
// server rolls the transaction back when the connection goes.
void Connection::RollbackTrans() {
    openSession("RollbackTrans");
    if (!inTransaction_) throw AdoError(status::NoTransaction, "No transaction is active.");
    inTransaction_ = false;
    onSession("RollbackTrans", [](Session& s) { s.Rollback(); });
}

std::unique_ptr<Recordset> Connection::OpenSchema(long schema, const std::vector<std::string>& restrictions) {
    openSession("OpenSchema");
    for (const auto& r : restrictions) refuseNul(r, "OpenSchema");
    auto restriction = [&](std::size_t i) {
        return i < restrictions.size() ? restrictions[i] : std::string();
    };
    switch (schema) {
        case adSchemaTables:
            return onSession("OpenSchema", [&](Session& s) {
                return std::make_unique<Recordset>(s.TablesSchema(restriction(2), restriction(3)));
            });
        case adSchemaColumns:
            return onSession("OpenSchema", [&](Session& s) {
                return std::make_unique<Recordset>(s.ColumnsSchema(restriction(2), restriction(3)));
            });
        default:
            throw AdoError(status::InvalidArgument, "Schema not supported: " + std::to_string(schema));
    }
}

std::optional<bool> Connection::ServerHoldsSession(const std::string& identity) {
    openSession("ServerHoldsSession");
    return onSession("ServerHoldsSession", [&](Session& s) { return s.HoldsSession(identity); });
}

RowSet Connection::Query(const std::string& sql) {
    openSession("Open");
    refuseNul(sql, "Open");
    return onSession("Open", [&](Session& s) { return s.Query(sql); });
}

std::vector<RowSet> Connection::QueryEach(const std::vector<std::string>& queries) {
    openSession("Open");
    for (const std::string& sql : queries) refuseNul(sql, "Open");
    return onSession("Open", [&](Session& s) { return s.QueryEach(queries); });
}

bool Connection::QueriesInOneRequest() {
    return onSession("QueriesInOneRequest", [](Session& s) { return s.QueriesInOneRequest(); });
}

}  // namespace ado

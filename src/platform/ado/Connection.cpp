#include "Connection.h"

#include <iostream>

#include "AdoError.h"
#include "Providers.h"
#include "Recordset.h"
#include "StatusCodes.h"

namespace ado {

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
    if (session_) throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    connectionString_ = value;
}

void Connection::Open(const std::string& connectionString, const std::string& userId,
                      const std::string& password, long /*options*/) {
    if (session_) throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    if (!connectionString.empty()) connectionString_ = connectionString;
    std::string effective = connectionString_;
    if (!userId.empty()) effective += ";User ID=" + userId;
    if (!password.empty()) effective += ";Password=" + password;
    session_ = OpenSession(effective);
    inTransaction_ = false;
}

void Connection::Close() {
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
    if (!session_)
        throw AdoError(status::ConnectionUnusable,
                       std::string(operation) + ": the connection is closed and cannot be used.");
    return *session_;
}

void Connection::Execute(const std::string& commandText, long* recordsAffected, long /*options*/) {
    long affected = openSession("Execute").Execute(commandText);
    if (recordsAffected) *recordsAffected = affected;
}

long Connection::BeginTrans() {
    Session& session = openSession("BeginTrans");
    if (inTransaction_)
        throw AdoError(status::TransactionExists, "A transaction is already active on this connection.");
    session.BeginTransaction();
    inTransaction_ = true;
    return 1;
}

void Connection::CommitTrans() {
    Session& session = openSession("CommitTrans");
    if (!inTransaction_) throw AdoError(status::NoTransaction, "No transaction is active.");
    try {
        session.Commit();
    } catch (const AdoError&) {
        // A backend whose commit failed may or may not have ended the
        // transaction; ask it to roll back so the connection is usable again
        // and nothing half-done can be committed later.
        try {
            session.Rollback();
        } catch (const AdoError&) {
        }
        inTransaction_ = false;
        throw;
    }
    inTransaction_ = false;
}

void Connection::RollbackTrans() {
    Session& session = openSession("RollbackTrans");
    if (!inTransaction_) throw AdoError(status::NoTransaction, "No transaction is active.");
    inTransaction_ = false;
    session.Rollback();
}

std::unique_ptr<Recordset> Connection::OpenSchema(long schema, const std::vector<std::string>& restrictions) {
    Session& session = openSession("OpenSchema");
    auto restriction = [&](std::size_t i) {
        return i < restrictions.size() ? restrictions[i] : std::string();
    };
    switch (schema) {
        case adSchemaTables:
            return std::make_unique<Recordset>(session.TablesSchema(restriction(2), restriction(3)));
        case adSchemaColumns:
            return std::make_unique<Recordset>(session.ColumnsSchema(restriction(2), restriction(3)));
        default:
            throw AdoError(status::InvalidArgument, "Schema not supported: " + std::to_string(schema));
    }
}

RowSet Connection::Query(const std::string& sql) {
    return openSession("Open").Query(sql);
}

}  // namespace ado

// Choosing the provider that a connection string names, and opening a session
// with it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ConnectionString.h"
#include "Session.h"

namespace ado {

enum class ProviderKind {
    Sqlite,     // Provider=SQLite: the embedded database file
    SqlServer,  // SQLOLEDB, SQLNCLI*, MSOLEDBSQL*: SQL Server through ODBC
    Access,     // Microsoft.Jet.OLEDB.*, Microsoft.ACE.OLEDB.*: the ODBC Access driver
    Odbc,       // MSDASQL, or no Provider key: the string goes to the ODBC driver manager
    Unknown,
};

// The provider that the value of a Provider key names; letter case and a
// version suffix (".1", ".4.0", "11", "19") are ignored.
ProviderKind ClassifyProvider(const std::string& providerName);

// Opens a session with the provider the connection string names. Fails with
// 3706 for a provider that is not available.
std::unique_ptr<Session> OpenSession(const std::string& connectionString);

// Implemented by each provider.
std::unique_ptr<Session> OpenSqliteSession(const std::vector<ConnectionProperty>& properties);
std::unique_ptr<Session> OpenOdbcSession(ProviderKind kind,
                                         const std::vector<ConnectionProperty>& properties);

}  // namespace ado

#include "Providers.h"

#include <cctype>

#include "AdoError.h"
#include "StatusCodes.h"
#include "TextCase.h"

namespace ado {
namespace {

// "SQLOLEDB.1" -> "SQLOLEDB", "MICROSOFT.JET.OLEDB.4.0" -> "MICROSOFT.JET.OLEDB",
// "SQLNCLI11" -> "SQLNCLI".
std::string withoutVersion(std::string name) {
    while (!name.empty() && (std::isdigit(static_cast<unsigned char>(name.back())) || name.back() == '.'))
        name.pop_back();
    return name;
}

}  // namespace

ProviderKind ClassifyProvider(const std::string& providerName) {
    std::string name = withoutVersion(platform::UpperAscii(providerName));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    if (name == "SQLITE") return ProviderKind::Sqlite;
    if (name == "SQLOLEDB" || name == "SQLNCLI" || name == "MSOLEDBSQL") return ProviderKind::SqlServer;
    if (name == "MICROSOFT.JET.OLEDB" || name == "MICROSOFT.ACE.OLEDB") return ProviderKind::Access;
    if (name == "MSDASQL") return ProviderKind::Odbc;
    return ProviderKind::Unknown;
}

std::unique_ptr<Session> OpenSession(const std::string& connectionString) {
    // Drivers read connection strings up to the first NUL: whatever follows it
    // (a password, a database name) would silently be dropped, and the
    // connection made to something other than what the file names.
    if (connectionString.find('\0') != std::string::npos)
        throw AdoError(status::InvalidArgument, "The connection string holds a NUL character.");
    const auto properties = ParseConnectionString(connectionString);
    const auto provider = FindProperty(properties, "Provider");
    const ProviderKind kind = provider ? ClassifyProvider(*provider) : ProviderKind::Odbc;
    try {
        switch (kind) {
            case ProviderKind::Sqlite:
                return OpenSqliteSession(properties);
            case ProviderKind::SqlServer:
            case ProviderKind::Access:
            case ProviderKind::Odbc:
                return OpenOdbcSession(kind, properties);
            case ProviderKind::Unknown:
                break;
        }
        throw AdoError(status::ProviderNotFound, "Provider cannot be found: " + provider.value_or(""));
    } catch (const AdoError& e) {
        // A description may quote the string or what a driver made of it.
        throw AdoError(e.status(), RedactSecrets(e.description(), PasswordValues(connectionString)));
    }
}

}  // namespace ado

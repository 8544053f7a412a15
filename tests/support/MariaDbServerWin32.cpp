// The MariaDB server for the Windows build of the tests. A Windows program
// cannot start or stop the Linux server, so the test command starts one
// server for the whole run from the Linux side (a CTest fixture) and passes
// its port and root password in REMOVER_MARIADB_PORT and
// REMOVER_MARIADB_PASSWORD. Each test process works in a database of its own,
// named by REMOVER_MARIADB_DATABASE and its process id (CTest runs the tests
// of one program side by side), which it makes on first use; the fixture's
// end removes them all with the server. The
// statements of RunSql go straight through the ODBC driver manager, not
// through the code under test.
#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "MariaDbServer.h"
#include "WideText.h"

namespace testing_support {
namespace {

std::string requiredEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string(name) +
                                 " is not set: run the tests through ctest, whose fixture starts the server");
    return value;
}

std::string braced(const std::string& value) {
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    SQLWCHAR state[6], message[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1;
         SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, message, 1024, &length)); ++i)
        text += platform::Utf8FromWide(reinterpret_cast<wchar_t*>(message)) + "\n";
    return text;
}

// The text of one value as the command-line client prints it in batch mode.
std::string batchEscaped(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

struct HandleFree {
    SQLSMALLINT type;
    void operator()(void* handle) const { SQLFreeHandle(type, handle); }
};
using Handle = std::unique_ptr<void, HandleFree>;

Handle allocate(SQLSMALLINT type, SQLHANDLE parent) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle)))
        throw std::runtime_error("SQLAllocHandle failed");
    return Handle(handle, HandleFree{type});
}

// Runs sql (one or more statements) on a new connection and returns the rows
// of every result, tab-separated, one line each.
std::string runStatements(const std::string& connectionString, const std::string& sql) {
    Handle environment = allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    Handle connection = allocate(SQL_HANDLE_DBC, environment.get());
    std::wstring wide = platform::WideFromUtf8(connectionString);
    if (!SQL_SUCCEEDED(SQLDriverConnectW(connection.get(), nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()),
                                         SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
        throw std::runtime_error("cannot connect to the test server: " +
                                 diagnostics(SQL_HANDLE_DBC, connection.get()));
    Handle statement = allocate(SQL_HANDLE_STMT, connection.get());
    std::wstring text = platform::WideFromUtf8(sql);
    SQLRETURN rc = SQLExecDirectW(statement.get(), reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
    std::string output;
    while (rc != SQL_NO_DATA) {
        if (!SQL_SUCCEEDED(rc)) {
            const std::string why = diagnostics(SQL_HANDLE_STMT, statement.get());
            SQLDisconnect(connection.get());
            throw std::runtime_error("statement failed on the test server: " + sql + "\n" + why);
        }
        SQLSMALLINT columns = 0;
        SQLNumResultCols(statement.get(), &columns);
        while (columns > 0 && SQL_SUCCEEDED(SQLFetch(statement.get()))) {
            for (SQLSMALLINT c = 1; c <= columns; ++c) {
                std::wstring value;
                SQLLEN indicator = 0;
                SQLWCHAR buffer[512];
                bool null = false;
                for (;;) {
                    const SQLRETURN got =
                        SQLGetData(statement.get(), c, SQL_C_WCHAR, buffer, sizeof(buffer), &indicator);
                    if (got == SQL_NO_DATA || !SQL_SUCCEEDED(got)) break;
                    if (indicator == SQL_NULL_DATA) {
                        null = true;
                        break;
                    }
                    value += reinterpret_cast<wchar_t*>(buffer);
                    if (got == SQL_SUCCESS) break;
                }
                if (c > 1) output += '\t';
                output += null ? "NULL" : batchEscaped(platform::Utf8FromWide(value));
            }
            output += '\n';
        }
        rc = SQLMoreResults(statement.get());
    }
    statement.reset();
    SQLDisconnect(connection.get());
    return output;
}

}  // namespace

MariaDbServer& MariaDbServer::Shared() {
    static std::unique_ptr<MariaDbServer> instance;
    if (!instance) instance = std::make_unique<MariaDbServer>();
    return *instance;
}

MariaDbServer::MariaDbServer() {
    port_ = std::stoi(requiredEnvironment("REMOVER_MARIADB_PORT"));
    password_ = requiredEnvironment("REMOVER_MARIADB_PASSWORD");
    database_ = requiredEnvironment("REMOVER_MARIADB_DATABASE") + "_" + std::to_string(GetCurrentProcessId());
    const std::string database = database_;
    database_.clear();
    RunSql("DROP DATABASE IF EXISTS " + database + "; CREATE DATABASE " + database +
           " CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;");
    database_ = database;
}

MariaDbServer::~MariaDbServer() = default;

std::string MariaDbServer::socketPath() const {
    return {};
}

// The server belongs to the test command; these tests neither start nor
// stop it (the tests that need to run only on Linux).
void MariaDbServer::Start() {}
void MariaDbServer::Kill() {
    throw std::logic_error("the Windows tests cannot kill the server, which runs on the Linux side");
}
void MariaDbServer::Stop() {
    throw std::logic_error("the Windows tests cannot stop the server, which runs on the Linux side");
}

std::string MariaDbServer::ConnectionString(int port) const {
    std::string quoted;
    for (char c : password_) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=" +
           std::to_string(port ? port : port_) + ";Database=" + database_ + ";User=root;Password=\"" +
           quoted + "\"";
}

std::string MariaDbServer::RunSql(const std::string& sql) const {
    // OPTION 67108864 lets one call carry several statements, as the client does.
    std::string connection = "Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
                             ";User=root;Password=" + braced(password_) + ";OPTION=67108864";
    if (!database_.empty()) connection += ";Database=" + database_;
    return runStatements(connection, sql);
}

}  // namespace testing_support

// The ODBC provider: SQL Server, Access files and ODBC data sources, all
// through the driver manager's wide (UTF-16) API.
#include "OdbcProvider.h"

// Windows' ODBC headers use its types without including them.
#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "AdoError.h"
#include "ClientSockets.h"
#include "ConnectionString.h"
#include "Diagnostics.h"
#include "OdbcConnectionString.h"
#include "Providers.h"
#include "StatusCodes.h"
#include "TextCase.h"
#include "Utf16.h"

namespace ado {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

namespace {

// Whether a MariaDB server of this version runs compound statements sent by
// a client (BEGIN NOT ATOMIC ... END): they came with 10.1.1, and are used
// from 10.2, the first series that had them from its start. version is the
// server's as the driver gives it ("10.11.0019" or "10.11.19-MariaDB").
bool TakesCompoundStatements(const std::string& version) {
    unsigned major = 0, minor = 0;
    char dot = 0;
    return std::sscanf(version.c_str(), "%u%c%u", &major, &dot, &minor) == 3 && dot == '.' &&
           (major > 10 || (major == 10 && minor >= 2));
}

// sql as one statement of a compound statement, ended by ";".
std::string Terminated(std::string sql) {
    sql.erase(sql.find_last_not_of(" \t\r\n") + 1);  // all of it when it is all blanks
    if (sql.empty() || sql.back() != ';') sql += ';';
    return sql;
}

using WideString = std::basic_string<SQLWCHAR>;

WideString toWide(std::string_view text) {
    const std::u16string utf16 = Utf8ToUtf16(text);
    return WideString(utf16.begin(), utf16.end());
}

std::string fromWide(const SQLWCHAR* text, std::size_t length) {
    return Utf16ToUtf8(std::u16string(text, text + length));
}

// Owns one ODBC handle.
class Handle {
public:
    Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) {
            handle_ = SQL_NULL_HANDLE;
            throw AdoError(status::OutOfMemory, "ODBC: cannot allocate a handle");
        }
    }
    ~Handle() {
        if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }

private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

struct Diagnostic {
    std::string state;
    long native = 0;
    std::string message;
};

std::vector<Diagnostic> readDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> result;
    for (SQLSMALLINT record = 1; record < 50; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(512);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        const std::size_t used = std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), message.size() - 1);
        result.push_back({fromWide(state, 5), static_cast<long>(native), fromWide(message.data(), used)});
    }
    return result;
}

// How a failure on an open session is to be read beyond its status code.
struct FailureContext {
    // The call ran for at least the command time-out: a connection that the
    // driver gave up on then counts as a time-out, not as a lost server.
    bool timedOut = false;
    // Set when the diagnostics say the server connection is gone.
    bool* lost = nullptr;
};

// Reads the failure recorded on handle, writes it to standard error and
// throws it. what names the step; detail is the statement or the (redacted)
// connection string. Passwords the session knows are blanked out of the
// driver's messages, which some drivers build from the connection string.
[[noreturn]] void raise(SQLSMALLINT type, SQLHANDLE handle, std::string_view what, std::string_view detail,
                        bool connecting, const std::vector<std::string>& secrets,
                        FailureContext context = {}) {
    const auto diagnostics = readDiagnostics(type, handle);
    const Diagnostic* primary = nullptr;
    for (const auto& d : diagnostics) {
        if (d.state.rfind("01", 0) != 0) {  // class 01 is a warning
            primary = &d;
            break;
        }
    }
    std::uint32_t code = status::Unspecified;
    std::string description;
    if (primary) {
        code = StatusForSqlState(primary->state, primary->native, connecting);
        description = primary->message;
    } else {
        code = connecting ? status::CannotConnect : status::Unspecified;
        description = "the ODBC driver reported a failure without a diagnostic record";
    }
    if (!connecting) {
        const bool lost = std::any_of(diagnostics.begin(), diagnostics.end(), [](const Diagnostic& d) {
            return IsConnectionLost(d.state, d.native);
        });
        if (lost && context.lost) *context.lost = true;
        // A driver that gives up on a server that stopped answering closes
        // the connection and calls it lost; after the command time-out that
        // is the time-out the operator should read about.
        if (lost) code = context.timedOut ? status::AbortLimitReached : status::ConnectionLost;
    }

    // Each text is redacted on its own, so that one withheld for holding a
    // password leaves the SQLSTATE and native error of its record readable.
    std::string line = std::string(what) + " failed";
    for (const auto& d : diagnostics)
        line += " [SQLSTATE " + d.state + ", native error " + std::to_string(d.native) + "] " +
                RedactSecrets(d.message, secrets);
    if (diagnostics.empty()) line += " (no diagnostic record)";
    line += connecting ? " -- connection string: " : " -- statement: ";
    line += RedactSecrets(std::string(detail), secrets);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    platform::Diagnose("ODBC", line);
    throw AdoError(code, RedactSecrets(description, secrets));
}

// The environment, told to speak ODBC 3 (SQLSTATEs of ODBC 3, SQL_NO_DATA
// for a searched statement that touched no row).
SQLHANDLE withOdbc3(const Handle& environment) {
    SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_OV_ODBC3)), 0);
    return environment.get();
}

enum class FetchAs { Integer, Double, Text, Binary };

FetchAs fetchKindFor(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits) {
    switch (sqlType) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIGINT:
        case SQL_BIT:
            return FetchAs::Integer;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return FetchAs::Double;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            // Whole numbers that fit stay numbers; others keep every digit as text.
            return digits == 0 && size > 0 && size <= 18 ? FetchAs::Integer : FetchAs::Text;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return FetchAs::Binary;
        default:
            return FetchAs::Text;
    }
}

// Ends a call that has outlived the command time-out by cutting the session's
// network connection. A driver times a call out itself, but FreeTDS then
// sends a cancel and waits as long again for the server to acknowledge it,
// which a server behind a network that stopped forwarding never does: the
// operator would wait twice the time-out. Once the driver has had a moment
// past the time-out to end the call itself, the sockets it opened for the
// session are shut down, the driver reads the end of the connection and
// returns; the session is lost, as it was anyway.
//
// Every call arms and disarms the watchdog, so both are a store to an atomic
// deadline: the thread is woken only when it sleeps with no deadline or
// with a later one than the new. Otherwise it wakes at the deadline it
// knew, finds the call's own (later) deadline or none, and sleeps again.
class Watchdog {
public:
    using Clock = std::chrono::steady_clock;

    explicit Watchdog(std::vector<int> sockets) : sockets_(std::move(sockets)) {
        thread_ = std::thread([this] { run(); });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Arm(Clock::time_point deadline) {
        deadline_.store(deadline);
        // Read after the store, as the thread stores its wake-up time before
        // it reads the deadline: one of the two sees the other's.
        if (deadline >= wakeAt_.load()) return;
        std::lock_guard lock(mutex_);
        wake_.notify_one();
    }
    void Disarm() {
        // No deadline left means the thread took it and is cutting the
        // sockets: the call waits until it has, so that a socket the driver
        // closes afterwards is never the one shut down.
        if (deadline_.exchange(kNone) != kNone) return;
        std::lock_guard lock(mutex_);
    }

private:
    static constexpr Clock::time_point kNone{};

    void run() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            wakeAt_.store(Clock::time_point::max());
            Clock::time_point deadline = deadline_.load();
            if (deadline == kNone) {
                wake_.wait(lock);
            } else if (Clock::now() < deadline) {
                wakeAt_.store(deadline);
                wake_.wait_until(lock, deadline);
            } else if (deadline_.compare_exchange_strong(deadline, kNone)) {
                // The call that set this deadline has not disarmed it: it
                // has not returned, and Disarm waits for the lock meanwhile.
                platform::ShutDownSockets(sockets_);
            }
        }
    }

    std::vector<int> sockets_;
    std::mutex mutex_;
    std::condition_variable wake_;
    // The running call's deadline, kNone when no call runs.
    std::atomic<Clock::time_point> deadline_{kNone};
    // When the thread wakes up by itself; max while it sleeps with no deadline.
    std::atomic<Clock::time_point> wakeAt_{Clock::time_point::max()};
    bool stopping_ = false;
    std::thread thread_;
};

class OdbcSession final : public Session {
public:
    OdbcSession(ProviderKind kind, const std::vector<ConnectionProperty>& properties);
    ~OdbcSession() override;

    long Execute(const std::string& sql) override;
    RowSet Query(const std::string& sql) override;
    long ExecuteWith(const std::string& sql, const std::vector<Parameter>& parameters) override;
    std::vector<RowSet> QueryEach(const std::vector<std::string>& queries) override;
    bool QueriesInOneRequest() override { return compoundStatements_; }
    // A plain read on MySQL and MariaDB (InnoDB) takes no lock: another
    // session could change a row between the read and the delete.
    std::string LockingReadClause() override { return family_ == ServerFamily::MySql ? " FOR UPDATE" : ""; }
    // Only the servers whose kind is known: the Access driver has none.
    SavepointSyntax Savepoints() override {
        return family_ == ServerFamily::MySql       ? SavepointSyntax::Standard
               : family_ == ServerFamily::SqlServer ? SavepointSyntax::TransactSql
                                                    : SavepointSyntax::None;
    }
    char IdentifierQuote() override {
        const std::string quote = infoText(SQL_IDENTIFIER_QUOTE_CHAR);
        return quote.size() == 1 && quote != " " ? quote[0] : '"';
    }
    void BeginTransaction() override;
    void Commit() override;
    void Rollback() override;
    RowSet TablesSchema(const std::string& tableName, const std::string& tableType) override;
    RowSet ColumnsSchema(const std::string& tableName, const std::string& columnName) override;
    bool Broken() const override { return broken_; }
    std::string Identity() override;
    std::optional<bool> HoldsSession(const std::string& identity) override;
    bool CommitReplyLost() const override { return commitReplyLost_; }

private:
    // The servers whose sessions the program can tell apart.
    enum class ServerFamily { Unknown, MySql, SqlServer };

    using Clock = std::chrono::steady_clock;

    // Marks the start of one call, for telling a time-out from a lost server.
    void starting() { started_ = Clock::now(); }
    // Watches one public call, from its start to its return: one that runs
    // past the command time-out and a short grace is cut off (see Watchdog).
    struct Watch {
        Watchdog* watchdog;
        ~Watch() {
            if (watchdog) watchdog->Disarm();
        }
    };
    Watch watch();
    // A new statement, with the command time-out set on it.
    std::unique_ptr<Handle> newStatement();
    [[noreturn]] void fail(const Handle& handle, std::string_view what, std::string_view detail) {
        failOn(handle.type(), handle.get(), what, detail);
    }
    // Raises the failure recorded on handle; a lost server connection marks
    // the session broken.
    [[noreturn]] void failOn(SQLSMALLINT type, SQLHANDLE handle, std::string_view what,
                             std::string_view detail);
    // Switches autocommit; false when the driver refused.
    bool setAutocommit(bool on);
    // Puts autocommit back after a transaction has ended; a session that
    // refuses is marked broken (the failure goes to standard error only).
    void restoreAutocommit(std::string_view what);
    // Runs sql; false when the statement produced nothing at all (SQL_NO_DATA).
    bool execute(Handle& statement, const std::string& sql);
    RowSet fetchAll(Handle& statement, std::string_view context);
    Variant getValue(Handle& statement, SQLUSMALLINT column, FetchAs kind, std::string_view context);
    std::string infoText(SQLUSMALLINT infoType);
    // After connecting: the driver and the server are of the family the
    // string was written for, and on MySQL or MariaDB the session uses
    // standard string literals; otherwise the connection is refused.
    void confirmSafety(DriverFamily family);
    std::optional<std::string> currentCatalog();
    // A search pattern that matches name only: the pattern characters "_" and
    // "%" in a name are escaped, so "Exame_BK" does not also find "ExameXBK".
    std::string patternFor(const std::string& name);

    Handle environment_;
    Handle connection_;
    bool connected_ = false;
    bool manualCommit_ = false;
    bool broken_ = false;
    bool commitReplyLost_ = false;
    ServerFamily family_ = ServerFamily::Unknown;
    // MariaDB from 10.2: several queries go in one compound statement.
    bool compoundStatements_ = false;
    long commandTimeout_ = 0;  // seconds; 0 waits for ever
    Clock::time_point started_ = Clock::now();
    std::vector<std::string> secrets_;
    std::unique_ptr<Watchdog> watchdog_;
};

OdbcSession::OdbcSession(ProviderKind kind, const std::vector<ConnectionProperty>& properties)
    : environment_(SQL_HANDLE_ENV, SQL_NULL_HANDLE), connection_(SQL_HANDLE_DBC, withOdbc3(environment_)) {
    // The passwords as any driver might echo them, to blank out of its
    // messages, and the ADO string as given without them, for diagnostics.
    secrets_ = PasswordValues(properties);
    const std::string redacted = RedactSecrets(RedactPasswords(properties), secrets_);

    // ADO's defaults: 15 seconds to connect and 30 for each command, unless
    // the string asks otherwise (0 waits for ever). Drivers that know no
    // connection time-out refuse it, and the statement time-out still holds.
    const long loginTimeout = RequestedLoginTimeout(properties).value_or(15);
    commandTimeout_ = RequestedCommandTimeout(properties).value_or(30);

    // The string is written for the family of the driver that the driver
    // manager will load, as its registration says; a value that family
    // cannot read intact is refused here, before any driver sees it.
    std::string odbcString;
    DriverFamily family = DriverFamily::Other;
    try {
        auto plan = PlanOdbcConnection(kind, properties, ReadOdbcRegistry(), loginTimeout, commandTimeout_);
        odbcString = std::move(plan.text);
        family = plan.family;
    } catch (const AdoError& e) {
        platform::Diagnose("ODBC", std::string(e.what()) + " -- connection string: " + redacted);
        throw;
    }
    for (auto [attribute, seconds] : {std::pair{SQL_ATTR_LOGIN_TIMEOUT, loginTimeout},
                                      std::pair{SQL_ATTR_CONNECTION_TIMEOUT, commandTimeout_}})
        SQLSetConnectAttrW(connection_.get(), attribute,
                           reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(seconds)),
                           SQL_IS_UINTEGER);

    WideString wide = toWide(odbcString);
    const std::vector<int> socketsBefore = platform::ClientSockets();
    const SQLRETURN rc = SQLDriverConnectW(connection_.get(), nullptr, wide.data(), SQL_NTS, nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT);
    std::fill(wide.begin(), wide.end(), SQLWCHAR{0});
    if (!SQL_SUCCEEDED(rc))
        raise(SQL_HANDLE_DBC, connection_.get(), "connect", RedactPasswords(odbcString), true, secrets_);
    connected_ = true;
    // The sockets the driver opened for this session, for the watchdog.
    std::vector<int> sockets;
    for (int fd : platform::ClientSockets())
        if (std::find(socketsBefore.begin(), socketsBefore.end(), fd) == socketsBefore.end())
            sockets.push_back(fd);
    if (commandTimeout_ > 0 && !sockets.empty()) watchdog_ = std::make_unique<Watchdog>(std::move(sockets));

    // A constructor that throws runs no destructor: a session refused from
    // here on is disconnected before the failure leaves.
    try {
        confirmSafety(family);
    } catch (...) {
        watchdog_.reset();
        SQLDisconnect(connection_.get());
        connected_ = false;
        throw;
    }
}

void OdbcSession::confirmSafety(DriverFamily family) {
    auto refuse = [](const std::string& reason) {
        platform::Diagnose("ODBC", "connection refused: " + reason);
        throw AdoError(status::CannotConnect, "The connection is refused: " + reason);
    };
    // The driver and the server name themselves: the string was written,
    // and the safeguards chosen, for the family the registration named.
    const std::string library = infoText(SQL_DRIVER_NAME);
    const std::string dbms = infoText(SQL_DBMS_NAME);
    const std::string server = platform::UpperAscii(dbms);
    const bool mySqlServer =
        server.find("MYSQL") != std::string::npos || server.find("MARIADB") != std::string::npos;
    if (FamilyOfLibrary(library) != family)
        refuse(
            "the driver that answered (\"" + library +
            "\") is not of the family its registration names, for which the connection string was written");
    if (mySqlServer != (family == DriverFamily::MySql))
        refuse("the server (\"" + dbms + "\") and the driver (\"" + library +
               "\") are not both MySQL or MariaDB, so that the session's safeguards cannot be established");
    // The server's kind says how to ask it for the number of a session.
    if (mySqlServer)
        family_ = ServerFamily::MySql;
    else if (server.find("SQL SERVER") != std::string::npos)
        family_ = ServerFamily::SqlServer;
    if (family_ != ServerFamily::MySql) return;

    // MySQL and MariaDB read a backslash in a string literal as an escape,
    // which no other database does: a typed "\" would swallow the closing
    // quote. Standard literals make the same statement text mean the same
    // thing everywhere; the session is used only once they hold.
    Execute("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')");
    const RowSet mode = Query("SELECT @@SESSION.sql_mode");
    const std::string modes = mode.rows.empty() || mode.rows[0].empty() ? "" : ToText(mode.rows[0][0]);
    if (("," + platform::UpperAscii(modes) + ",").find(",NO_BACKSLASH_ESCAPES,") == std::string::npos)
        refuse("the session does not keep NO_BACKSLASH_ESCAPES in its sql_mode (\"" + modes + "\")");
    // Compound statements read as MariaDB's own syntax, not Oracle's.
    compoundStatements_ = server.find("MARIADB") != std::string::npos &&
                          TakesCompoundStatements(infoText(SQL_DBMS_VER)) &&
                          ("," + platform::UpperAscii(modes) + ",").find(",ORACLE,") == std::string::npos;
}

OdbcSession::~OdbcSession() {
    // Stopped first: the driver closes the sockets it watches.
    watchdog_.reset();
    if (!connected_) return;
    // A transaction still open when the session goes is abandoned, never
    // committed: rolled back here when the session is sound, and by the
    // server when the connection goes.
    if (manualCommit_ && !broken_) SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK);
    SQLDisconnect(connection_.get());
}

void OdbcSession::failOn(SQLSMALLINT type, SQLHANDLE handle, std::string_view what, std::string_view detail) {
    FailureContext context;
    context.timedOut =
        commandTimeout_ > 0 && Clock::now() - started_ >= std::chrono::seconds(commandTimeout_);
    context.lost = &broken_;
    raise(type, handle, what, detail, false, secrets_, context);
}

OdbcSession::Watch OdbcSession::watch() {
    if (!watchdog_) return {nullptr};
    // The driver's own time-out comes first; the grace lets it end the call
    // itself when the server still answers its cancel.
    const auto grace =
        std::min<Clock::duration>(std::chrono::milliseconds(commandTimeout_ * 250), std::chrono::seconds(1));
    watchdog_->Arm(Clock::now() + std::chrono::seconds(commandTimeout_) + grace);
    return {watchdog_.get()};
}

std::unique_ptr<Handle> OdbcSession::newStatement() {
    starting();
    std::unique_ptr<Handle> statement;
    try {
        statement = std::make_unique<Handle>(SQL_HANDLE_STMT, connection_.get());
    } catch (const AdoError&) {
        // A driver refuses a statement on a connection it knows is broken (the
        // server went away) and says why on the connection: that, not memory,
        // is the failure to report.
        if (!readDiagnostics(SQL_HANDLE_DBC, connection_.get()).empty())
            failOn(SQL_HANDLE_DBC, connection_.get(), "allocate a statement", "");
        throw;
    }
    // A driver that cannot time a statement says so; the network time-outs
    // given at connection still bound the wait.
    if (commandTimeout_ > 0)
        SQLSetStmtAttrW(statement->get(), SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(commandTimeout_)),
                        SQL_IS_UINTEGER);
    return statement;
}

bool OdbcSession::execute(Handle& statement, const std::string& sql) {
    WideString wide = toWide(sql);
    const SQLRETURN rc = SQLExecDirectW(statement.get(), wide.data(), static_cast<SQLINTEGER>(wide.size()));
    if (rc == SQL_NO_DATA) return false;
    if (!SQL_SUCCEEDED(rc)) fail(statement, "execute", sql);
    return true;
}

long OdbcSession::Execute(const std::string& sql) {
    const Watch watching = watch();
    auto statement = newStatement();
    if (!execute(*statement, sql)) return 0;  // a searched DELETE or UPDATE that found no row

    long affected = -1;
    SQLSMALLINT columns = 0;
    if (SQL_SUCCEEDED(SQLNumResultCols(statement->get(), &columns)) && columns == 0) {
        SQLLEN count = -1;
        if (!SQL_SUCCEEDED(SQLRowCount(statement->get(), &count)))
            fail(*statement, "read the row count", sql);
        affected = static_cast<long>(count);
    }
    // Later results (a batch, triggers on some servers) are read and dropped;
    // a failure among them is still a failure of the statement.
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(statement->get());
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) fail(*statement, "execute", sql);
    }
    return affected;
}

long OdbcSession::ExecuteWith(const std::string& sql, const std::vector<Parameter>& parameters) {
    auto statement = newStatement();
    WideString wide = toWide(sql);
    if (!SQL_SUCCEEDED(SQLPrepareW(statement->get(), wide.data(), static_cast<SQLINTEGER>(wide.size()))))
        fail(*statement, "prepare", sql);
    // Each value stays where the driver was told it is until the statement has run.
    struct Bound {
        SQLBIGINT integer = 0;
        double real = 0;
        WideString text;
        std::string bytes;
        SQLLEN indicator = 0;
    };
    std::vector<Bound> bound(parameters.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const Variant& v = parameters[i].value;
        Bound& b = bound[i];
        SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
        SQLULEN size = 1;
        SQLPOINTER data = nullptr;
        SQLLEN capacity = 0;
        if (const auto* n = std::get_if<std::int64_t>(&v)) {
            b.integer = *n;
            cType = SQL_C_SBIGINT, sqlType = SQL_BIGINT, data = &b.integer;
        } else if (const auto* d = std::get_if<double>(&v)) {
            b.real = *d;
            cType = SQL_C_DOUBLE, sqlType = SQL_DOUBLE, data = &b.real, size = 15;
        } else if (const auto* t = std::get_if<std::string>(&v)) {
            if (parameters[i].binary) {
                b.bytes = *t;
                cType = SQL_C_BINARY, sqlType = SQL_LONGVARBINARY;
                data = b.bytes.data(), capacity = b.indicator = static_cast<SQLLEN>(b.bytes.size());
            } else {
                b.text = toWide(*t);
                cType = SQL_C_WCHAR, sqlType = b.text.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
                data = b.text.data();
                capacity = b.indicator = static_cast<SQLLEN>(b.text.size() * sizeof(SQLWCHAR));
            }
            size = std::max<SQLULEN>(1, static_cast<SQLULEN>(t->size()));
        } else {
            b.indicator = SQL_NULL_DATA;
        }
        if (!SQL_SUCCEEDED(SQLBindParameter(statement->get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                            cType, sqlType, size, 0, data, capacity, &b.indicator)))
            fail(*statement, "bind a parameter", sql);
    }
    const SQLRETURN rc = SQLExecute(statement->get());
    if (rc == SQL_NO_DATA) return 0;
    if (!SQL_SUCCEEDED(rc)) fail(*statement, "execute", sql);
    SQLLEN count = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(statement->get(), &count))) fail(*statement, "read the row count", sql);
    return static_cast<long>(count);
}

RowSet OdbcSession::Query(const std::string& sql) {
    const Watch watching = watch();
    auto statement = newStatement();
    if (!execute(*statement, sql)) return {};
    for (;;) {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(statement->get(), &columns))) fail(*statement, "describe", sql);
        if (columns > 0) return fetchAll(*statement, sql);
        // A statement that returned no rows first (a row count, a SET): the
        // rows, if any, come in a later result.
        const SQLRETURN rc = SQLMoreResults(statement->get());
        if (rc == SQL_NO_DATA) return {};
        if (!SQL_SUCCEEDED(rc)) fail(*statement, "execute", sql);
    }
}

std::vector<RowSet> OdbcSession::QueryEach(const std::vector<std::string>& queries) {
    if (!compoundStatements_ || queries.size() < 2) return Session::QueryEach(queries);
    // One compound statement: MariaDB runs its queries in order and returns
    // each one's rows as a result of its own, then a last result without
    // rows for the statement itself. A query that fails ends the statement
    // with its error, after the rows of those before it.
    std::string block = "BEGIN NOT ATOMIC";
    for (const std::string& sql : queries) block += " " + Terminated(sql);
    block += " END";
    const Watch watching = watch();
    auto statement = newStatement();
    std::vector<RowSet> results;
    if (execute(*statement, block)) {
        for (;;) {
            SQLSMALLINT columns = 0;
            if (!SQL_SUCCEEDED(SQLNumResultCols(statement->get(), &columns)))
                fail(*statement, "describe", block);
            if (columns > 0) results.push_back(fetchAll(*statement, block));
            const SQLRETURN rc = SQLMoreResults(statement->get());
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) fail(*statement, "execute", block);
        }
    }
    if (results.size() != queries.size()) {
        platform::Diagnose("ODBC", std::to_string(queries.size()) + " queries gave " +
                                       std::to_string(results.size()) + " results: " + block);
        throw AdoError(status::ErrorsInCommand, "The queries did not each return rows.");
    }
    return results;
}

RowSet OdbcSession::fetchAll(Handle& statement, std::string_view context) {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(statement.get(), &count))) fail(statement, "describe", context);

    RowSet result;
    std::vector<FetchAs> kinds;
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
        std::vector<SQLWCHAR> name(256);
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLRETURN rc =
            SQLDescribeColW(statement.get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                            &nameLength, &type, &size, &digits, &nullable);
        if (SQL_SUCCEEDED(rc) && nameLength >= static_cast<SQLSMALLINT>(name.size())) {
            name.resize(static_cast<std::size_t>(nameLength) + 1);
            rc = SQLDescribeColW(statement.get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                 &nameLength, &type, &size, &digits, &nullable);
        }
        if (!SQL_SUCCEEDED(rc)) fail(statement, "describe", context);
        const std::size_t used = std::min<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0), name.size() - 1);
        result.columns.push_back(fromWide(name.data(), used));
        result.types.push_back(AdoTypeForSqlType(type));
        kinds.push_back(fetchKindFor(type, size, digits));
    }

    for (;;) {
        const SQLRETURN rc = SQLFetch(statement.get());
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) fail(statement, "fetch", context);
        std::vector<Variant> row;
        row.reserve(kinds.size());
        for (std::size_t i = 0; i < kinds.size(); ++i)
            row.push_back(getValue(statement, static_cast<SQLUSMALLINT>(i + 1), kinds[i], context));
        result.rows.push_back(std::move(row));
    }
    return result;
}

Variant OdbcSession::getValue(Handle& statement, SQLUSMALLINT column, FetchAs kind,
                              std::string_view context) {
    SQLLEN indicator = 0;
    switch (kind) {
        case FetchAs::Integer: {
            SQLBIGINT value = 0;
            if (!SQL_SUCCEEDED(SQLGetData(statement.get(), column, SQL_C_SBIGINT, &value, 0, &indicator)))
                fail(statement, "read a value", context);
            if (indicator == SQL_NULL_DATA) return std::monostate{};
            return static_cast<std::int64_t>(value);
        }
        case FetchAs::Double: {
            double value = 0;
            if (!SQL_SUCCEEDED(SQLGetData(statement.get(), column, SQL_C_DOUBLE, &value, 0, &indicator)))
                fail(statement, "read a value", context);
            if (indicator == SQL_NULL_DATA) return std::monostate{};
            return value;
        }
        case FetchAs::Text: {
            // Long values come in pieces; each piece but the last fills the
            // buffer up to its terminating NUL.
            SQLWCHAR buffer[2048];
            constexpr std::size_t capacity = sizeof(buffer) / sizeof(SQLWCHAR) - 1;
            std::u16string text;
            for (;;) {
                const SQLRETURN rc =
                    SQLGetData(statement.get(), column, SQL_C_WCHAR, buffer, sizeof(buffer), &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!SQL_SUCCEEDED(rc)) fail(statement, "read a value", context);
                if (indicator == SQL_NULL_DATA) return std::monostate{};
                const bool truncated = indicator == SQL_NO_TOTAL ||
                                       static_cast<std::size_t>(indicator) > capacity * sizeof(SQLWCHAR);
                const std::size_t got =
                    truncated ? capacity : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
                text.append(buffer, buffer + got);
                if (!truncated) break;
            }
            return Utf16ToUtf8(text);
        }
        case FetchAs::Binary: {
            char buffer[4096];
            std::string bytes;
            for (;;) {
                const SQLRETURN rc =
                    SQLGetData(statement.get(), column, SQL_C_BINARY, buffer, sizeof(buffer), &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!SQL_SUCCEEDED(rc)) fail(statement, "read a value", context);
                if (indicator == SQL_NULL_DATA) return std::monostate{};
                const bool truncated =
                    indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > sizeof(buffer);
                bytes.append(buffer, truncated ? sizeof(buffer) : static_cast<std::size_t>(indicator));
                if (!truncated) break;
            }
            return bytes;
        }
    }
    return std::monostate{};
}

bool OdbcSession::setAutocommit(bool on) {
    const auto value = static_cast<std::intptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
    if (!SQL_SUCCEEDED(SQLSetConnectAttrW(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER)))
        return false;
    manualCommit_ = !on;
    return true;
}

void OdbcSession::restoreAutocommit(std::string_view what) {
    if (setAutocommit(true)) return;
    broken_ = true;
    try {
        failOn(SQL_HANDLE_DBC, connection_.get(), what, "autocommit on");
    } catch (const AdoError&) {
        // Written to standard error; the transaction itself has ended.
    }
}

void OdbcSession::BeginTransaction() {
    const Watch watching = watch();
    starting();
    if (!setAutocommit(false)) failOn(SQL_HANDLE_DBC, connection_.get(), "BeginTrans", "autocommit off");
}

// A commit is reported by what SQLEndTran did. Autocommit is put back after
// it; a session that refuses would commit or hold what comes next in a way
// nobody asked for, so it is marked broken (and dropped by the connection)
// without turning the commit into a failure.
//
// A commit whose reply never came (the connection went, or the wait ran out)
// may have been carried out by the server all the same; CommitReplyLost says
// so to whoever must find out.
void OdbcSession::Commit() {
    const Watch watching = watch();
    starting();
    commitReplyLost_ = false;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_COMMIT))) {
        try {
            failOn(SQL_HANDLE_DBC, connection_.get(), "CommitTrans", "COMMIT");
        } catch (const AdoError& e) {
            commitReplyLost_ = broken_ || e.status() == status::AbortLimitReached;
            throw;
        }
    }
    restoreAutocommit("CommitTrans");
}

// A rollback that fails leaves the transaction open on the server, where a
// later commit would take its half-done work with it: the session is marked
// broken, so the connection drops it and the server rolls back.
void OdbcSession::Rollback() {
    const Watch watching = watch();
    starting();
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK))) {
        broken_ = true;
        failOn(SQL_HANDLE_DBC, connection_.get(), "RollbackTrans", "ROLLBACK");
    }
    restoreAutocommit("RollbackTrans");
}

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string OdbcSession::Identity() {
    if (family_ == ServerFamily::Unknown) return {};
    const char* query = family_ == ServerFamily::MySql ? "SELECT CONNECTION_ID()" : "SELECT @@SPID";
    const RowSet rows = Query(query);
    std::string identity;
    if (rows.rows.size() == 1 && rows.rows[0].size() == 1) identity = ToText(rows.rows[0][0]);
    if (!allDigits(identity)) {
        platform::Diagnose(
            "ODBC", std::string("the server did not give the number of its session -- statement: ") + query);
        throw AdoError(status::Unspecified, "the server did not give the number of its session");
    }
    return identity;
}

std::optional<bool> OdbcSession::HoldsSession(const std::string& identity) {
    if (!allDigits(identity)) return std::nullopt;
    std::string query;
    if (family_ == ServerFamily::MySql) {
        // A user without the PROCESS privilege still sees the sessions of
        // its own user, which the program's are.
        query = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + identity;
    } else if (family_ == ServerFamily::SqlServer) {
        // Without VIEW SERVER STATE a login sees only its own session there,
        // and another one would seem gone: -1 then says "cannot tell".
        query =
            "SELECT CASE WHEN HAS_PERMS_BY_NAME(NULL, NULL, 'VIEW SERVER STATE') = 1 THEN (SELECT COUNT(*) "
            "FROM sys.dm_exec_sessions WHERE session_id = " +
            identity + ") ELSE -1 END";
    } else {
        return std::nullopt;
    }
    const RowSet rows = Query(query);
    if (rows.rows.size() != 1 || rows.rows[0].size() != 1) return std::nullopt;
    const auto count = ToInteger(rows.rows[0][0]);
    if (!count || *count < 0) return std::nullopt;
    return *count > 0;
}

std::string OdbcSession::infoText(SQLUSMALLINT infoType) {
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(connection_.get(), infoType, buffer, sizeof(buffer), &length))) return {};
    const std::size_t chars =
        std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR),
                              sizeof(buffer) / sizeof(SQLWCHAR) - 1);
    return fromWide(buffer, chars);
}

std::optional<std::string> OdbcSession::currentCatalog() {
    SQLWCHAR buffer[512] = {};
    SQLINTEGER length = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(connection_.get(), SQL_ATTR_CURRENT_CATALOG, buffer, sizeof(buffer),
                                          &length)) ||
        length <= 0)
        return std::nullopt;
    const std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR),
                                                    sizeof(buffer) / sizeof(SQLWCHAR) - 1);
    return fromWide(buffer, chars);
}

std::string OdbcSession::patternFor(const std::string& name) {
    const std::string escape = infoText(SQL_SEARCH_PATTERN_ESCAPE);
    if (escape.empty()) return name;  // the exact-name filter still applies
    std::string pattern;
    for (char c : name) {
        if (c == '_' || c == '%' || escape.find(c) != std::string::npos) pattern += escape;
        pattern += c;
    }
    return pattern;
}

// Which name a schema row is for. The driver was given an escaped pattern;
// this also keeps out what a driver that ignores the escape would add, while
// letter case stays the database's business.
bool sameName(const Variant& value, const std::string& name) {
    return name.empty() || (std::holds_alternative<std::string>(value) &&
                            EqualsIgnoreCase(std::get<std::string>(value), name));
}

RowSet OdbcSession::TablesSchema(const std::string& tableName, const std::string& tableType) {
    const Watch watching = watch();
    const auto catalog = currentCatalog();
    WideString wideCatalog = toWide(catalog.value_or(""));
    WideString wideTable = toWide(patternFor(tableName));
    WideString wideType = toWide(tableType);
    auto statement = newStatement();
    const std::string context = "tables schema of \"" + tableName + "\"";
    if (!SQL_SUCCEEDED(SQLTablesW(
            statement->get(), catalog ? wideCatalog.data() : nullptr, catalog ? SQL_NTS : 0, nullptr, 0,
            tableName.empty() ? nullptr : wideTable.data(), tableName.empty() ? 0 : SQL_NTS,
            tableType.empty() ? nullptr : wideType.data(), tableType.empty() ? 0 : SQL_NTS)))
        fail(*statement, "OpenSchema", context);
    RowSet fetched = fetchAll(*statement, context);

    RowSet result;
    result.columns = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"};
    for (auto& row : fetched.rows) {
        if (row.size() < 4 || !sameName(row[2], tableName)) continue;
        if (auto* type = std::get_if<std::string>(&row[3]); type && EqualsIgnoreCase(*type, "BASE TABLE"))
            *type = "TABLE";
        if (!tableType.empty() && !sameName(row[3], tableType)) continue;
        result.rows.push_back({row[0], row[1], row[2], row[3]});
    }
    return result;
}

RowSet OdbcSession::ColumnsSchema(const std::string& tableName, const std::string& columnName) {
    const Watch watching = watch();
    const auto catalog = currentCatalog();
    WideString wideCatalog = toWide(catalog.value_or(""));
    WideString wideTable = toWide(patternFor(tableName));
    WideString wideColumn = toWide(patternFor(columnName));
    auto statement = newStatement();
    const std::string context = "columns schema of \"" + tableName + "\"";
    if (!SQL_SUCCEEDED(SQLColumnsW(
            statement->get(), catalog ? wideCatalog.data() : nullptr, catalog ? SQL_NTS : 0, nullptr, 0,
            tableName.empty() ? nullptr : wideTable.data(), tableName.empty() ? 0 : SQL_NTS,
            columnName.empty() ? nullptr : wideColumn.data(), columnName.empty() ? 0 : SQL_NTS)))
        fail(*statement, "OpenSchema", context);
    RowSet fetched = fetchAll(*statement, context);

    // SQLColumns: 1 TABLE_CAT, 2 TABLE_SCHEM, 3 TABLE_NAME, 4 COLUMN_NAME,
    // 5 DATA_TYPE, ..., 17 ORDINAL_POSITION.
    RowSet result;
    result.columns = {"TABLE_CATALOG",    "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME",
                      "ORDINAL_POSITION", "DATA_TYPE",    "COLUMN_TYPE"};
    for (auto& row : fetched.rows) {
        if (row.size() < 17 || !sameName(row[2], tableName) || !sameName(row[3], columnName)) continue;
        const auto sqlType = ToInteger(row[4]);
        const Variant adoType =
            sqlType ? Variant(static_cast<std::int64_t>(AdoTypeForSqlType(static_cast<int>(*sqlType))))
                    : Variant(std::monostate{});
        result.rows.push_back({row[0], row[1], row[2], row[3], row[16], adoType, adoType});
    }
    std::stable_sort(result.rows.begin(), result.rows.end(), [](const auto& a, const auto& b) {
        const auto key = [](const std::vector<Variant>& r) {
            return std::make_tuple(ToText(r[0]), ToText(r[1]), ToText(r[2]), ToInteger(r[4]).value_or(0));
        };
        return key(a) < key(b);
    });
    return result;
}

}  // namespace

std::unique_ptr<Session> OpenOdbcSession(ProviderKind kind,
                                         const std::vector<ConnectionProperty>& properties) {
    return std::make_unique<OdbcSession>(kind, properties);
}

}  // namespace ado

#include "SqliteProvider.h"

#include <sqlite3.h>

#include <cerrno>
#ifdef _WIN32
#include <winerror.h>

#include "WideText.h"
#endif
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdoError.h"
#include "ConnectionString.h"
#include "Diagnostics.h"
#include "Providers.h"
#include "RegularFile.h"
#include "SqlRewrite.h"
#include "StatusCodes.h"
#include "TextCase.h"

namespace ado {
namespace {

// Whether the system error that SQLite reports for a failed write means that
// there is no room: an errno value, or on Windows a Windows error code.
bool IsOutOfRoom(int systemError) {
#ifdef _WIN32
    constexpr int kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, missing from mingw's headers
    return systemError == ERROR_DISK_FULL || systemError == ERROR_HANDLE_DISK_FULL ||
           systemError == kDiskQuotaExceeded;
#else
    return systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG;
#endif
}

}  // namespace

std::uint32_t StatusForSqliteFailure(int extendedCode, std::string_view message) {
    switch (extendedCode & 0xFF) {
        case SQLITE_ERROR:
            // Compile errors all come as SQLITE_ERROR; only the text tells a
            // missing table from a misspelt column or a syntax error.
            if (message.substr(0, 13) == "no such table") return status::NoTable;
            return status::ErrorsInCommand;
        case SQLITE_CONSTRAINT:  // keys, NOT NULL, CHECK, and a trigger's RAISE(ABORT)
            return status::IntegrityViolation;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return status::AbortLimitReached;
        case SQLITE_FULL:
            return status::MediumFull;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return status::PermissionDenied;
        case SQLITE_CANTOPEN:
            return status::FileNotFound;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return status::DataCorrupt;
        case SQLITE_NOMEM:
            return status::OutOfMemory;
        case SQLITE_IOERR:
            if (extendedCode == SQLITE_IOERR_NOMEM) return status::OutOfMemory;
            return status::Unspecified;
        case SQLITE_TOOBIG:
        case SQLITE_RANGE:
            return status::ErrorsInCommand;
        default:
            return status::Unspecified;
    }
}

namespace {

bool isSpaceByte(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
}  // namespace

// The codes follow what SQL Server's provider reports for the same declared
// names, so that a column reads alike on either database: CHAR 129, VARCHAR
// 200, TEXT/CLOB 201, NCHAR 130, NVARCHAR 202, NTEXT 203; INTEGER/INT 3,
// BIGINT 20, SMALLINT 2, TINYINT 17 (unsigned, as on SQL Server); REAL, FLOAT
// and DOUBLE 5 (SQLite stores 8-byte floats); NUMERIC/DECIMAL 131; DATE 133,
// TIME 134, DATETIME/TIMESTAMP 135; BOOLEAN/BIT 11; BLOB 205. Any other name
// goes by SQLite's own affinity rules, in SQLite's order: a name containing
// "INT" is a 64-bit integer (20), "CHAR"/"CLOB"/"TEXT" Unicode text (202),
// "BLOB" binary (205), "REAL"/"FLOA"/"DOUB" a double (5), anything else numeric
// (131). A column declared with no type holds any kind of value: variant (12).
std::int64_t AdoTypeForDeclaredType(std::string_view declaredType) {
    // "varchar (50)" -> "VARCHAR", "double  precision" -> "DOUBLE PRECISION".
    std::string name;
    for (char c : declaredType) {
        if (c == '(') break;
        if (isSpaceByte(c)) {
            if (!name.empty() && name.back() != ' ') name += ' ';
            continue;
        }
        name += platform::UpperAscii(c);
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty()) return 12;

    struct Known {
        std::string_view name;
        std::int64_t code;
    };
    static constexpr Known known[] = {
        {"INTEGER", 3},
        {"INT", 3},
        {"MEDIUMINT", 3},
        {"BIGINT", 20},
        {"INT8", 20},
        {"UNSIGNED BIG INT", 21},
        {"SMALLINT", 2},
        {"INT2", 2},
        {"TINYINT", 17},
        {"CHAR", 129},
        {"CHARACTER", 129},
        {"VARCHAR", 200},
        {"VARYING CHARACTER", 200},
        {"TEXT", 201},
        {"CLOB", 201},
        {"NCHAR", 130},
        {"NATIVE CHARACTER", 130},
        {"NVARCHAR", 202},
        {"NTEXT", 203},
        {"REAL", 5},
        {"FLOAT", 5},
        {"DOUBLE", 5},
        {"DOUBLE PRECISION", 5},
        {"NUMERIC", 131},
        {"DECIMAL", 131},
        {"DATE", 133},
        {"TIME", 134},
        {"DATETIME", 135},
        {"TIMESTAMP", 135},
        {"BOOLEAN", 11},
        {"BIT", 11},
        {"BLOB", 205},
    };
    for (const Known& k : known)
        if (name == k.name) return k.code;

    auto has = [&](std::string_view part) { return name.find(part) != std::string::npos; };
    if (has("INT")) return 20;
    if (has("CHAR") || has("CLOB") || has("TEXT")) return 202;
    if (has("BLOB")) return 205;
    if (has("REAL") || has("FLOA") || has("DOUB")) return 5;
    return 131;
}

namespace {

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// A statement as the caller wrote it and, when it was rewritten, as SQLite
// received it; both go into the diagnostic line of a failure.
struct StatementText {
    const std::string& original;
    std::optional<std::string> rewritten;

    const std::string& sent() const { return rewritten ? *rewritten : original; }
};

// Keeps a diagnostic on one line whatever the statement holds.
std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\n' || c == '\r') c = ' ';
    return out;
}

[[noreturn]] void report(std::uint32_t status, const std::string& message, const std::string& detail,
                         const StatementText& text) {
    std::string line = message + detail + "; statement: " + oneLine(text.original);
    if (text.rewritten) line += "; rewritten for SQLite: " + oneLine(*text.rewritten);
    platform::Diagnose("SQLite", line);
    throw AdoError(status, message);
}

Variant columnValue(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            return static_cast<std::int64_t>(sqlite3_column_int64(statement, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(statement, column);
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            return std::string(text ? text : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
        }
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
            return std::string(bytes ? bytes : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
        }
        default:
            return std::monostate{};
    }
}

class SqliteSession final : public Session {
public:
    explicit SqliteSession(sqlite3* db) : db_(db) {}
    ~SqliteSession() override {
        // Closing with a transaction open rolls it back.
        sqlite3_close_v2(db_);
    }
    SqliteSession(const SqliteSession&) = delete;
    SqliteSession& operator=(const SqliteSession&) = delete;

    long Execute(const std::string& sql) override {
        const StatementText text{sql, RewriteDeleteJoin(sql)};
        Statement statement = prepareOne(text);
        stepToEnd(statement.get(), text, nullptr);
        // sqlite3_changes keeps the count of the last INSERT, UPDATE or DELETE,
        // so it is read only after one of those; other statements change no
        // rows that the database counts.
        if (sqlite3_stmt_readonly(statement.get())) return -1;
        const std::string keyword = LeadingKeyword(text.sent());
        if (keyword == "DELETE" || keyword == "INSERT" || keyword == "UPDATE" || keyword == "REPLACE" ||
            keyword == "WITH")
            return sqlite3_changes(db_);
        return -1;
    }

    SavepointSyntax Savepoints() override { return SavepointSyntax::Standard; }

    long ExecuteWith(const std::string& sql, const std::vector<Parameter>& parameters) override {
        const StatementText text{sql, std::nullopt};
        Statement statement = prepareOne(text);
        int index = 1;
        for (const Parameter& parameter : parameters) {
            sqlite3_stmt* s = statement.get();
            const Variant& v = parameter.value;
            int rc = SQLITE_OK;
            if (const auto* i = std::get_if<std::int64_t>(&v))
                rc = sqlite3_bind_int64(s, index, *i);
            else if (const auto* d = std::get_if<double>(&v))
                rc = sqlite3_bind_double(s, index, *d);
            else if (const auto* t = std::get_if<std::string>(&v))
                rc = parameter.binary ? sqlite3_bind_blob64(s, index, t->data(), t->size(), SQLITE_TRANSIENT)
                                      : sqlite3_bind_text64(s, index, t->data(), t->size(), SQLITE_TRANSIENT,
                                                            SQLITE_UTF8);
            else
                rc = sqlite3_bind_null(s, index);
            if (rc != SQLITE_OK) fail(text);
            ++index;
        }
        stepToEnd(statement.get(), text, nullptr);
        return sqlite3_stmt_readonly(statement.get()) ? -1 : sqlite3_changes(db_);
    }

    // The file is opened by this process: no server can put another session
    // in this one's place, and a commit's outcome is always known.
    std::string Identity() override { return {}; }
    std::optional<bool> HoldsSession(const std::string&) override { return std::nullopt; }

    RowSet Query(const std::string& sql) override {
        const StatementText text{sql, RewriteDeleteJoin(sql)};
        Statement statement = prepareOne(text);
        RowSet rows;
        stepToEnd(statement.get(), text, &rows);
        return rows;
    }

    // IMMEDIATE takes the write lock at once, so a database that another
    // connection is writing makes the begin wait (up to the busy time-out)
    // rather than a later statement fail half-way through the removal.
    void BeginTransaction() override { run("BEGIN IMMEDIATE"); }

    void Commit() override {
        try {
            run("COMMIT");
        } catch (const AdoError&) {
            // A commit that failed (busy, disk full) may leave the transaction
            // open; end it here so that nothing half-done lingers or gets
            // committed by a later statement.
            if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    void Rollback() override {
        // SQLite itself rolls back on some failures (disk full, I/O errors);
        // when no transaction is left there is nothing to undo.
        if (sqlite3_get_autocommit(db_)) return;
        run("ROLLBACK");
    }

    RowSet TablesSchema(const std::string& tableName, const std::string& tableType) override {
        // Names compare as SQLite resolves them: letter case ignored for ASCII
        // letters only (NOCASE, and LIKE for the reserved "sqlite_" prefix).
        static const std::string sql =
            "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, name AS TABLE_NAME, "
            "CASE WHEN type = 'view' THEN 'VIEW' "
            "WHEN name LIKE 'sqlite\\_%' ESCAPE '\\' THEN 'SYSTEM TABLE' ELSE 'TABLE' END AS TABLE_TYPE "
            "FROM sqlite_master WHERE type IN ('table', 'view') "
            "AND (?1 = '' OR name = ?1 COLLATE NOCASE) AND (?2 = '' OR TABLE_TYPE = ?2) "
            "ORDER BY TABLE_TYPE, TABLE_NAME";
        return queryWith(sql, {&tableName, &tableType});
    }

    RowSet ColumnsSchema(const std::string& tableName, const std::string& columnName) override {
        // pragma_table_info takes the table name as an argument, never spliced
        // into the text, so no name can change the statement.
        static const std::string sql =
            "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, m.name AS TABLE_NAME, p.name AS "
            "COLUMN_NAME, "
            "p.cid + 1 AS ORDINAL_POSITION, p.type AS DATA_TYPE "
            "FROM sqlite_master AS m JOIN pragma_table_info(m.name) AS p "
            "WHERE m.type IN ('table', 'view') "
            "AND (?1 = '' OR m.name = ?1 COLLATE NOCASE) AND (?2 = '' OR p.name = ?2 COLLATE NOCASE) "
            "ORDER BY m.name, p.cid";
        RowSet rows = queryWith(sql, {&tableName, &columnName});
        constexpr std::size_t typeColumn = 5;
        rows.columns.push_back("COLUMN_TYPE");
        for (auto& row : rows.rows) {
            const auto* declared = std::get_if<std::string>(&row[typeColumn]);
            const std::int64_t code = AdoTypeForDeclaredType(declared ? *declared : std::string());
            row[typeColumn] = code;
            row.push_back(code);
        }
        return rows;
    }

    // Runs a statement of the provider's own, with no rewriting.
    void run(const std::string& sql) {
        const StatementText text{sql, std::nullopt};
        Statement statement = prepareOne(text);
        stepToEnd(statement.get(), text, nullptr);
    }

private:
    [[noreturn]] void fail(const StatementText& text) {
        const int code = sqlite3_extended_errcode(db_);
        const std::string message = sqlite3_errmsg(db_);
        std::uint32_t status = StatusForSqliteFailure(code, message);
        // SQLite calls only one system error a full disk; a write refused for
        // a quota or a file-size limit comes as a plain I/O error, yet it is
        // the same thing to the operator: no room to write.
        const int systemError = sqlite3_system_errno(db_);
        if ((code & 0xFF) == SQLITE_IOERR && IsOutOfRoom(systemError)) status = status::MediumFull;
        report(
            status, message,
            " (SQLite code " + std::to_string(code) + ", system error " + std::to_string(systemError) + ")",
            text);
    }

    // Prepares the one statement that the text holds. Empty statements before
    // it are skipped; anything but white space, comments and ";" after it is
    // refused, so that one call runs exactly one statement.
    Statement prepareOne(const StatementText& text) {
        const std::string& sql = text.sent();
        if (sql.size() > static_cast<std::size_t>(INT_MAX))
            report(status::ErrorsInCommand, "the command text is too long", "", text);
        const char* begin = sql.data();
        const char* const end = sql.data() + sql.size();
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        for (;;) {
            if (sqlite3_prepare_v2(db_, begin, static_cast<int>(end - begin), &raw, &tail) != SQLITE_OK)
                fail(text);
            if (raw) break;
            if (tail == nullptr || tail <= begin || tail >= end)
                report(status::ErrorsInCommand, "the command text holds no statement", "", text);
            begin = tail;
        }
        Statement statement(raw);
        if (!IsBlankSql(std::string_view(tail, static_cast<std::size_t>(end - tail))))
            report(status::ErrorsInCommand, "the command text holds more than one statement", "", text);
        return statement;
    }

    // Steps to the end; rows go into rows when given, otherwise they are dropped.
    void stepToEnd(sqlite3_stmt* statement, const StatementText& text, RowSet* rows) {
        const int columns = sqlite3_column_count(statement);
        if (rows) {
            rows->columns.clear();
            rows->types.clear();
            for (int i = 0; i < columns; ++i) {
                const char* name = sqlite3_column_name(statement, i);
                rows->columns.emplace_back(name ? name : "");
                const char* declared = sqlite3_column_decltype(statement, i);
                rows->types.push_back(declared ? AdoTypeForDeclaredType(declared) : -1);
            }
        }
        for (;;) {
            const int rc = sqlite3_step(statement);
            if (rc == SQLITE_DONE) return;
            if (rc != SQLITE_ROW) fail(text);
            if (!rows) continue;
            std::vector<Variant> row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int i = 0; i < columns; ++i) row.push_back(columnValue(statement, i));
            rows->rows.push_back(std::move(row));
        }
    }

    RowSet queryWith(const std::string& sql, std::initializer_list<const std::string*> parameters) {
        const StatementText text{sql, std::nullopt};
        Statement statement = prepareOne(text);
        int index = 1;
        for (const std::string* value : parameters) {
            if (sqlite3_bind_text64(statement.get(), index++, value->data(), value->size(), SQLITE_TRANSIENT,
                                    SQLITE_UTF8) != SQLITE_OK)
                fail(text);
        }
        RowSet rows;
        stepToEnd(statement.get(), text, &rows);
        return rows;
    }

    sqlite3* db_;
};

int busyTimeoutMs(const std::vector<ConnectionProperty>& properties) {
    const auto value = FindProperty(properties, "Busy Timeout");
    if (!value) return kSqliteDefaultBusyTimeoutMs;
    long long ms = 0;
    const char* first = value->data();
    const char* last = first + value->size();
    auto [ptr, ec] = std::from_chars(first, last, ms);
    if (ec != std::errc() || ptr != last || ms < 0) return kSqliteDefaultBusyTimeoutMs;
    return ms < kSqliteDefaultBusyTimeoutMs ? static_cast<int>(ms) : kSqliteDefaultBusyTimeoutMs;
}

[[noreturn]] void failOpen(std::uint32_t status, const std::string& path, const std::string& message) {
    platform::Diagnose("SQLite", "cannot open the database \"" + oneLine(path) + "\": " + message);
    throw AdoError(status, message);
}

// A file name as the system takes it. The program's text is UTF-8; on
// Windows a path made from narrow text would go through the ANSI code page
// and miss every name with an accent, so it goes through the wide form.
std::filesystem::path systemPath(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(platform::WideFromUtf8(path));
#else
    return std::filesystem::path(path);
#endif
}

// Only a regular file that starts with SQLite's header holds a database.
// SQLite would take an empty file, /dev/null or /dev/zero for a new, empty
// database, and would wait for ever reading a named pipe that nobody writes;
// such names are refused before SQLite opens anything. What is not there, a
// folder and a path that cannot be followed are left to SQLite, which says
// why it cannot open them; a file that is there but cannot be opened is
// refused as SQLite would refuse it, never handed on.
void refuseWhatIsNotADatabase(const std::string& path) {
    static constexpr char kHeader[] = "SQLite format 3";  // 16 bytes with its NUL
    char header[sizeof kHeader] = {};
    const platform::RegularFile opened = platform::OpenRegularFile(path);
    if (opened.failure != platform::RegularFile::Failure::None) {
        std::error_code ec;
        if (std::filesystem::is_directory(systemPath(path), ec)) return;
        if (opened.failure == platform::RegularFile::Failure::NotRegular)
            failOpen(status::CannotConnect, path, "not a regular file");
        if (!std::filesystem::is_regular_file(systemPath(path), ec)) return;
        failOpen(status::AccessDenied, path, "unable to open database file");
    }
    const std::size_t got = std::fread(header, 1, sizeof header, opened.file.get());
    if (got != sizeof header || std::memcmp(header, kHeader, sizeof header) != 0)
        failOpen(status::DataCorrupt, path, "file is not a database");
}

}  // namespace

std::unique_ptr<Session> OpenSqliteSession(const std::vector<ConnectionProperty>& properties) {
    const auto source = FindProperty(properties, "Data Source");
    if (!source || source->empty())
        failOpen(status::FileNotFound, "", "the connection string names no Data Source");

    // The value is always a file name: SQLite would take ":memory:" and
    // "file:" names as an in-memory database or a URI with options of its own.
    std::string path = *source;
    if (path.front() == ':' ||
        (path.size() >= 5 && EqualsIgnoreCase(std::string_view(path).substr(0, 5), "file:")))
        path = "./" + path;

    refuseWhatIsNotADatabase(path);

    // Read-write only, never create: a wrong path must fail, not leave an
    // empty database behind.
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        const int code = db ? sqlite3_extended_errcode(db) : rc;
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        std::uint32_t status = StatusForSqliteFailure(code, message);
        std::error_code ec;
        if ((code & 0xFF) == SQLITE_CANTOPEN && std::filesystem::is_regular_file(systemPath(path), ec))
            status = status::AccessDenied;
        failOpen(status, path, message);
    }
    auto session = std::make_unique<SqliteSession>(db);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_enable_load_extension(db, 0);
    sqlite3_busy_timeout(db, busyTimeoutMs(properties));
    session->run("PRAGMA foreign_keys = ON");
    // SQLite reads the file only when it first needs to: read the schema now,
    // so that a file that is not a database fails here and not at the first
    // statement.
    session->run("SELECT count(*) FROM sqlite_master");
    return session;
}

}  // namespace ado

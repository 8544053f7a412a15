// Removing a batch of examinations listed in a file through the command line
// (--confirmar --lote N, in this process, audit records included), against the
// same statements sent straight to the engine in the same grouping in the same
// run: SQLite through the sqlite3 library, and the private MariaDB server
// through a raw ODBC loop.
//
//   remover-batch-bench [examinations=20000] [removals=2000] [sqlite|mariadb|both=both]
//   [groups=1,10,100,1000]
//
// The full size of the report is 100000 examinations (both sets) and 10000
// removals per group size. Each side removes its own examinations
// (interleaved over the whole range, apart for each group size). With N = 1
// each examination takes two transactions (live tables, then the twins) after
// its existence check; with N > 1 the checks of N examinations come first,
// then one transaction for their live tables and one for their twins, each
// examination's statements between a savepoint and its release. The sides
// take turns in ten slices.
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BenchDatabase.h"
#include "CommandLine.h"
#include "DE.h"
#include "ExamTables.h"
#include "SystemLog.h"
#include "ado/ConnectionString.h"
#include "ado/OdbcConnectionString.h"
#include "ado/Providers.h"
#include "ado/SqlRewrite.h"
#include "Utf16.h"

#ifdef REMOVER_BENCH_MARIADB
#include "BenchServer.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// CPU time of the calling thread (user and system), in seconds.
double threadCpu() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A syslog daemon of the bench's own that reads and counts every record, so
// the program pays for its audit as it would in the field.
class LogDrain {
public:
    explicit LogDrain(std::string path) : path_(std::move(path)) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind " + path_);
        timeval wait{0, 100000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        thread_ = std::thread([this] {
            char buffer[65536];
            while (!stop_)
                if (::recv(fd_, buffer, sizeof buffer, 0) > 0) ++records_;
        });
    }
    ~LogDrain() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    const std::string& path() const { return path_; }
    long records() const { return records_; }

private:
    std::string path_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<long> records_{0};
    std::thread thread_;
};

struct Side {
    double seconds;
    long examinations;
    double cpu = 0;
    double rate() const { return examinations / seconds; }
};

// The program: remover-exame --confirmar --ini <ini> --lista <list>.
Side throughProgram(const std::string& ini, const std::string& list, long count, std::size_t group,
                    LogDrain& drain) {
    platform::LocalSyslog log(drain.path());
    std::ifstream in;
    std::ofstream out("/dev/null"), err("/dev/null");
    const std::string lote = std::to_string(group);
    const char* argv[] = {"remover-exame", "--confirmar", "--ini",  ini.c_str(),
                          "--lista",       list.c_str(),  "--lote", lote.c_str()};
    const double cpu = threadCpu();
    const auto start = Clock::now();
    const int status = app::RunCommandLine(8, argv, {in, out, err, false}, &log);
    const double took = seconds(start);
    ado::Connection& connection = DE::Instance().Conexão_Atual();
    if (connection.State() == ado::adStateOpen) connection.Close();
    if (status != app::kExitDone)
        throw std::runtime_error("the batch ended with status " + std::to_string(status));
    return {took, count, threadCpu() - cpu};
}

// The group's statements around one examination's cascade: nothing for
// N = 1, a savepoint and its release otherwise.
std::string savepointStatement(std::size_t group, const char* verb, std::size_t k) {
    return group == 1 ? std::string() : std::string(verb) + " exame_" + std::to_string(k + 1);
}

// The same statements straight to sqlite3: the existence checks, then each
// set's cascades (rewritten as the provider rewrites them) in one transaction.
Side rawSqlite(const std::string& path, const std::vector<std::string>& numbers, std::size_t group) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 30000);
    bench::exec(db, "PRAGMA foreign_keys = ON");
    auto count = [&](const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK ||
            sqlite3_step(stmt) != SQLITE_ROW)
            throw std::runtime_error(sqlite3_errmsg(db));
        const long long value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return value;
    };
    const double cpu = threadCpu();
    const auto start = Clock::now();
    for (std::size_t from = 0; from < numbers.size(); from += group) {
        const std::vector<std::string> members(
            numbers.begin() + static_cast<std::ptrdiff_t>(from),
            numbers.begin() + static_cast<std::ptrdiff_t>(std::min(numbers.size(), from + group)));
        for (const std::string& number : members)
            if (count(removal::ExistenceQuery(number, removal::kLiveTables)) == 0 &&
                count(removal::ExistenceQuery(number, removal::kBackupTables)) == 0)
                throw std::runtime_error("examination " + number + " not found");
        for (std::string_view suffix : {removal::kLiveTables, removal::kBackupTables}) {
            bench::exec(db, "BEGIN IMMEDIATE");
            for (std::size_t k = 0; k < members.size(); ++k) {
                if (group > 1) bench::exec(db, savepointStatement(group, "SAVEPOINT", k));
                for (const auto& statement : removal::kCascadeStatements) {
                    const std::string text = removal::CascadeStatementText(statement, members[k], suffix);
                    bench::exec(db, ado::RewriteDeleteJoin(text).value_or(text));
                }
                if (group > 1) bench::exec(db, savepointStatement(group, "RELEASE SAVEPOINT", k));
            }
            bench::exec(db, "COMMIT");
        }
    }
    const double took = seconds(start);
    sqlite3_close(db);
    return {took, static_cast<long>(numbers.size()), threadCpu() - cpu};
}

// Interleaved numbers over 1..examinations: the program's and the raw side's
// for the run-th of runs group sizes.
void chooseNumbers(long examinations, long removals, long run, long runs, std::vector<std::string>& program,
                   std::vector<std::string>& raw) {
    const long step = examinations / (2 * runs * removals);
    for (long i = 0; i < removals; ++i) {
        program.push_back(std::to_string(1 + (2 * runs * i + 2 * run) * step));
        raw.push_back(std::to_string(1 + (2 * runs * i + 2 * run + 1) * step));
    }
}

std::string writeList(const fs::path& path, const std::vector<std::string>& numbers) {
    std::ofstream list(path, std::ios::binary);
    list << "# examinations to remove\n";
    for (const auto& n : numbers) list << n << '\n';
    return path.string();
}

// The two sides take turns, a slice of each list at a time (and who goes
// first alternates), so that both meet the same moments of a shared
// machine's disk.
constexpr std::size_t kSlices = 10;

std::string writeList(const fs::path& path, const std::vector<std::string>& numbers);

struct Sides {
    Side program{0, 0, 0};
    Side raw{0, 0, 0};
};

Sides takeTurns(const std::vector<std::string>& program, const std::vector<std::string>& raw,
                std::size_t group, const std::function<Side(const std::vector<std::string>&)>& rawSide,
                const fs::path& dir, const std::string& ini, LogDrain& drain) {
    Sides sides;
    const std::size_t slices = std::min(kSlices, program.size());
    auto add = [](Side& total, const Side& part) {
        total.seconds += part.seconds;
        total.examinations += part.examinations;
        total.cpu += part.cpu;
    };
    for (std::size_t k = 0; k < slices; ++k) {
        const std::size_t from = program.size() * k / slices, to = program.size() * (k + 1) / slices;
        const std::vector<std::string> mine(program.begin() + from, program.begin() + to);
        const std::vector<std::string> theirs(raw.begin() + from, raw.begin() + to);
        const std::string list = writeList(dir / ("lista-" + std::to_string(k) + ".txt"), mine);
        if (k % 2 == 0) add(sides.raw, rawSide(theirs));
        add(sides.program, throughProgram(ini, list, static_cast<long>(mine.size()), group, drain));
        if (k % 2 == 1) add(sides.raw, rawSide(theirs));
    }
    return sides;
}

std::string writeIni(const fs::path& path, const std::string& connectionString) {
    std::ofstream ini(path, std::ios::binary);
    ini << "[Quelvomir]\r\nCONN_SERVER=" << connectionString << "\r\n";
    return path.string();
}

void report(const char* engine, std::size_t group, const Side& program, const Side& raw, long records,
            double firstRate) {
    // The gain of grouping, when the run began with --lote 1.
    char gain[64] = "";
    if (firstRate > 0)
        std::snprintf(gain, sizeof gain, "; %.1fx the rate of --lote 1", program.rate() / firstRate);
    std::printf(
        "%s --lote %zu: %ld examinations through --confirmar in %.2f s (%.1f examinations/s; CPU %.2f s), "
        "%ld audit records%s\n",
        engine, group, program.examinations, program.seconds, program.rate(), program.cpu, records, gain);
    std::printf(
        "%s --lote %zu: %ld examinations, same statements %s in %.2f s (%.1f examinations/s; CPU %.2f s)\n",
        engine, group, raw.examinations,
        std::strcmp(engine, "SQLite") == 0 ? "through sqlite3" : "through raw ODBC", raw.seconds, raw.rate(),
        raw.cpu);
    std::printf("%s --lote %zu: ratio raw/program %.3f in time (goal <= 1.2), %.3f in CPU\n", engine, group,
                raw.rate() / program.rate(), program.cpu / raw.cpu);
    std::fflush(stdout);
}

// Each group size in turn, on examinations of its own.
void runGroups(const char* engine, long examinations, long removals, const std::vector<std::size_t>& groups,
               const std::function<Side(const std::vector<std::string>&, std::size_t)>& rawSide,
               const fs::path& dir, const std::string& ini, LogDrain& drain) {
    double firstRate = 0;
    for (std::size_t run = 0; run < groups.size(); ++run) {
        std::vector<std::string> program, raw;
        chooseNumbers(examinations, removals, static_cast<long>(run), static_cast<long>(groups.size()),
                      program, raw);
        const long before = drain.records();
        const Sides sides = takeTurns(
            program, raw, groups[run],
            [&](const std::vector<std::string>& numbers) { return rawSide(numbers, groups[run]); }, dir, ini,
            drain);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (run == 0) firstRate = groups[run] == 1 ? sides.program.rate() : 0;
        report(engine, groups[run], sides.program, sides.raw, drain.records() - before, firstRate);
    }
}

void benchSqlite(const fs::path& dir, long examinations, long removals,
                 const std::vector<std::size_t>& groups) {
    const std::string db = (dir / "exames.db").string();
    auto start = Clock::now();
    bench::buildDatabase(db, examinations);
    std::printf("SQLite: built %ld examinations (both sets) in %.1f s, %.0f MB\n", examinations,
                seconds(start), fs::file_size(db) / 1e6);
    const std::string ini = writeIni(dir / "Quelvomir.INI", "Provider=SQLite;Data Source=" + db);
    {
        // Read the whole file once, so neither side pays for the page cache.
        std::ifstream warm(db, std::ios::binary);
        std::vector<char> buffer(1 << 20);
        while (warm.read(buffer.data(), buffer.size()) || warm.gcount()) {
        }
    }
    LogDrain drain((dir / "log").string());
    runGroups(
        "SQLite", examinations, removals, groups,
        [&](const std::vector<std::string>& numbers, std::size_t group) {
            return rawSqlite(db, numbers, group);
        },
        dir, ini, drain);
}

#ifdef REMOVER_BENCH_MARIADB
// A raw ODBC loop: one statement handle per statement, autocommit off, a
// commit after each set, as little as a program can do.
class RawOdbc {
public:
    explicit RawOdbc(const std::string& adoConnectionString) {
        const auto properties = ado::ParseConnectionString(adoConnectionString);
        const std::u16string text =
            platform::Utf8ToUtf16(ado::BuildOdbcConnectionString(ado::ProviderKind::Odbc, properties));
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        std::u16string copy = text;
        if (!SQL_SUCCEEDED(SQLDriverConnectW(dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(copy.data()),
                                             static_cast<SQLSMALLINT>(copy.size()), nullptr, 0, nullptr,
                                             SQL_DRIVER_NOPROMPT)))
            throw std::runtime_error("raw ODBC: cannot connect");
        Run("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')");
        SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    }
    ~RawOdbc() {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }

    // Runs sql; with wantCount, returns the first column of its first row.
    long long Run(const std::string& sql, bool wantCount = false) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
        std::u16string wide = platform::Utf8ToUtf16(sql);
        long long value = 0;
        if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(wide.data()),
                                          static_cast<SQLINTEGER>(wide.size()))))
            throw std::runtime_error("raw ODBC: failed: " + sql.substr(0, 120));
        if (wantCount) {
            SQLBIGINT count = 0;
            SQLLEN indicator = 0;
            if (SQL_SUCCEEDED(SQLFetch(stmt))) SQLGetData(stmt, 1, SQL_C_SBIGINT, &count, 0, &indicator);
            value = count;
        } else {
            SQLLEN rows = 0;
            SQLRowCount(stmt, &rows);
            value = rows;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return value;
    }
    void Commit() {
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT)))
            throw std::runtime_error("raw ODBC: commit failed");
    }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
};

Side rawMariaDb(const std::string& connectionString, const std::vector<std::string>& numbers,
                std::size_t group) {
    RawOdbc raw(connectionString);
    const double cpu = threadCpu();
    const auto start = Clock::now();
    for (std::size_t from = 0; from < numbers.size(); from += group) {
        const std::vector<std::string> members(
            numbers.begin() + static_cast<std::ptrdiff_t>(from),
            numbers.begin() + static_cast<std::ptrdiff_t>(std::min(numbers.size(), from + group)));
        for (const std::string& number : members)
            if (raw.Run(removal::ExistenceQuery(number, removal::kLiveTables), true) == 0 &&
                raw.Run(removal::ExistenceQuery(number, removal::kBackupTables), true) == 0)
                throw std::runtime_error("examination " + number + " not found");
        for (std::string_view suffix : {removal::kLiveTables, removal::kBackupTables}) {
            for (std::size_t k = 0; k < members.size(); ++k) {
                if (group > 1) raw.Run(savepointStatement(group, "SAVEPOINT", k));
                for (const auto& statement : removal::kCascadeStatements)
                    raw.Run(removal::CascadeStatementText(statement, members[k], suffix));
                if (group > 1) raw.Run(savepointStatement(group, "RELEASE SAVEPOINT", k));
            }
            raw.Commit();
        }
    }
    return {seconds(start), static_cast<long>(numbers.size()), threadCpu() - cpu};
}

void benchMariaDb(const fs::path& dir, long examinations, long removals,
                  const std::vector<std::size_t>& groups) {
    auto start = Clock::now();
    const auto loaded = bench::StartLoadedServer(examinations);
    const testing_support::MariaDbServer& server = *loaded;
    std::printf("MariaDB: started the server and loaded %ld examinations (both sets) in %.1f s\n",
                examinations, seconds(start));

    const std::string ini = writeIni(dir / "Quelvomir-mariadb.INI", server.ConnectionString());
    LogDrain drain((dir / "log-mariadb").string());
    const std::string connectionString = server.ConnectionString();
    runGroups(
        "MariaDB", examinations, removals, groups,
        [&](const std::vector<std::string>& numbers, std::size_t group) {
            return rawMariaDb(connectionString, numbers, group);
        },
        dir, ini, drain);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    try {
        const long examinations = argc > 1 ? std::atol(argv[1]) : 20000;
        const long removals = argc > 2 ? std::atol(argv[2]) : 2000;
        const std::string engines = argc > 3 ? argv[3] : "both";
        std::vector<std::size_t> groups;
        std::stringstream list(argc > 4 ? argv[4] : "1,10,100,1000");
        for (std::string item; std::getline(list, item, ',');) groups.push_back(std::stoul(item));
        if (groups.empty() || std::find(groups.begin(), groups.end(), 0u) != groups.end())
            throw std::runtime_error("group sizes are numbers from 1, separated by commas");
        if (removals < 1 || examinations < 2 * static_cast<long>(groups.size()) * removals)
            throw std::runtime_error("too few examinations for that many removals of each group size");

        const fs::path dir = fs::temp_directory_path() / ("remover-batch-bench-" + std::to_string(getpid()));
        fs::create_directories(dir);
        struct Cleanup {
            fs::path dir;
            ~Cleanup() { fs::remove_all(dir); }
        } cleanup{dir};

        if (engines != "mariadb") benchSqlite(dir, examinations, removals, groups);
#ifdef REMOVER_BENCH_MARIADB
        if (engines != "sqlite") benchMariaDb(dir, examinations, removals, groups);
#else
        if (engines != "sqlite") std::printf("MariaDB: not built (needs the test support library)\n");
#endif
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "remover-batch-bench: %s\n", e.what());
        return 1;
    }
}

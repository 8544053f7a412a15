// The cost of keeping copies of removed rows: one examination removed (the
// remove command, both sets) with copies on and with copies off, taking
// turns on the same database, SQLite and, when the tests' MariaDB server is
// built, MariaDB in the same run.
//
//   remover-copies-bench [examinations=20000] [removals=200] [sqlite|mariadb|both=both] [twins|live=twins]
//                        [latency=0] [copies=TEMP]
//
// twins: every examination has rows in both sets; live: only in the live
// tables, so each removal's _BK set finds no examination. latency, in
// microseconds: MariaDB is reached through a proxy that passes on what it
// reads that much later each way, as a network between a workstation and
// its server would (the private server is otherwise on this machine's
// loopback, where a round trip costs next to nothing). copies: the folder in
// which the copies' folders are made, the temporary folder by default. On a
// machine whose temporary folder sees thousands of files made and deleted
// (the tests, the private server's own start), making a file there may cost
// the system far more than in a folder kept for copies, as a clinic's is.
//
// With copies on, each set is read before its statements and written to a
// file that is flushed to disk (the file and its folder) before the commit,
// then rewritten once marked; the figures include those flushes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchDatabase.h"
#include "SilentToolkit.h"
#include "ExamTables.h"
#include "RemoveExamCommand.h"
#include "Toolkit.h"
#include "ado/Connection.h"

#ifdef REMOVER_BENCH_MARIADB
#include "BenchServer.h"
#include "LoopbackProxy.h"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::SilentToolkit;

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Removals alternate between copies off and on, over numbers spread across
// the whole range, after one untimed removal of each kind.
void run(const char* engine, const std::string& connectionString, const fs::path& copies, long examinations,
         long removals) {
    ado::Connection connection(connectionString);
    connection.Open();
    SilentToolkit ui;
    auto remove = [&](long number, bool withCopies) {
        removal::RemovalReport report;
        const auto start = Clock::now();
        removal::cmdAtualizar_Click(std::to_string(number), connection, ui, &report, nullptr,
                                    withCopies ? copies.string() : std::string());
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (report.outcome != removal::RemovalReport::Outcome::Removed)
            throw std::runtime_error(std::string(engine) + ": examination " + std::to_string(number) +
                                     " not removed");
        return ms;
    };
    remove(examinations, false);
    remove(examinations - 1, true);
    std::vector<double> off, on;
    const long step = (examinations - 2) / (2 * removals);
    for (long i = 0; i < removals; ++i) {
        off.push_back(remove(1 + 2 * i * step, false));
        on.push_back(remove(1 + (2 * i + 1) * step, true));
    }
    // What one statement costs on this connection, whatever it asks.
    std::vector<double> trips;
    for (int i = 0; i < 101; ++i) {
        const auto start = Clock::now();
        connection.Query("SELECT 1");
        trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const double a = median(off), b = median(on);
    std::printf(
        "%s: %ld removals each; median without copies %.2f ms, with copies %.2f ms: %.2fx "
        "(SELECT 1: %.2f ms)\n",
        engine, removals, a, b, b / a, median(trips));
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const long examinations = argc > 1 ? std::atol(argv[1]) : 20000;
        const long removals = argc > 2 ? std::atol(argv[2]) : 200;
        const std::string engines = argc > 3 ? argv[3] : "both";
        const bool twins = argc > 4 ? std::string(argv[4]) != "live" : true;
        const std::chrono::microseconds latency(argc > 5 ? std::atol(argv[5]) : 0);
        if (removals < 1 || examinations < 2 * removals + 2)
            throw std::runtime_error("too few examinations for that many removals");
        const std::string own = "remover-copies-bench-" + std::to_string(getpid());
        const fs::path dir = fs::temp_directory_path() / own;
        const fs::path copies = (argc > 6 ? fs::path(argv[6]) : fs::temp_directory_path()) / own;
        fs::create_directories(dir);
        fs::create_directories(copies / "copias-sqlite");
        fs::create_directories(copies / "copias-mariadb");
        struct Cleanup {
            fs::path dir, copies;
            ~Cleanup() {
                fs::remove_all(dir);
                fs::remove_all(copies);
            }
        } cleanup{dir, copies};

        if (engines != "mariadb") {
            const std::string db = (dir / "exames.db").string();
            bench::buildDatabase(db, examinations);
            if (!twins) {
                sqlite3* handle = nullptr;
                if (sqlite3_open(db.c_str(), &handle) != SQLITE_OK) throw std::runtime_error("cannot open " + db);
                for (const std::string_view table : removal::kExamTables)
                    bench::exec(handle, "DELETE FROM " + std::string(table) + "_BK");
                sqlite3_close(handle);
            }
            run("SQLite", "Provider=SQLite;Data Source=" + db, copies / "copias-sqlite", examinations,
                removals);
        }
#ifdef REMOVER_BENCH_MARIADB
        if (engines != "sqlite") {
            const auto server = bench::StartLoadedServer(examinations, twins);
            if (latency.count() > 0) {
                const testing_support::LoopbackProxy network(server->port(), latency);
                const std::string name = "MariaDB, " + std::to_string(latency.count()) + " us each way";
                run(name.c_str(), server->ConnectionString(network.port()), copies / "copias-mariadb",
                    examinations, removals);
            } else {
                run("MariaDB", server->ConnectionString(), copies / "copias-mariadb", examinations, removals);
            }
        }
#else
        if (engines != "sqlite") std::printf("MariaDB: not built (needs the test support library)\n");
#endif
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "remover-copies-bench: %s\n", e.what());
        return 1;
    }
}

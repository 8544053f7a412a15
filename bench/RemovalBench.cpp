// Time to remove one examination (the live tables, then the twins) from a
// SQLite database of many examinations: through the program's own stack (the
// remove command, clsADO, the connection layer and the SQLite provider)
// against the same statements sent directly through the sqlite3 library.
//
//   remover-bench [examinations=100000] [removals=50] [database file]
//
// The database is built once (into the given file, or a temporary one) from
// the demo schema, every examination with pages, images, appliqués, image
// backups, stages with history and printouts and the direct children, in both
// sets of tables.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "SilentToolkit.h"
#include "ExamTables.h"
#include "RemoveExamCommand.h"
#include "Toolkit.h"
#include "ado/Connection.h"
#include "ado/SqlRewrite.h"

namespace {

using bench::buildDatabase;
using bench::exec;
using Clock = std::chrono::steady_clock;

using bench::SilentToolkit;

// The cascade of both sets sent straight to SQLite: the same texts, rewritten
// the same way, each set in one transaction.
void removeDirectly(sqlite3* db, const std::string& number) {
    for (std::string_view suffix : {removal::kLiveTables, removal::kBackupTables}) {
        exec(db, "BEGIN IMMEDIATE");
        for (const auto& statement : removal::kCascadeStatements) {
            const std::string text = removal::CascadeStatementText(statement, number, suffix);
            exec(db, ado::RewriteDeleteJoin(text).value_or(text));
        }
        exec(db, "COMMIT");
    }
}

struct Stats {
    double medianMs, meanMs, maxMs;
};

Stats summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / ms.size();
    return {ms[ms.size() / 2], mean, ms.back()};
}

long countExamRows(sqlite3* db, const std::string& number) {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT (SELECT count(*) FROM Exame WHERE Número_Exame = '" + number +
                            "') + (SELECT count(*) FROM Exame_BK WHERE Número_Exame = '" + number + "')";
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    sqlite3_step(stmt);
    const long count = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const long examinations = argc > 1 ? std::atol(argv[1]) : 100000;
        const int removals = argc > 2 ? std::atoi(argv[2]) : 50;
        const std::string path =
            argc > 3 ? argv[3] : (std::filesystem::temp_directory_path() / "remover-bench.db").string();
        if (examinations < 2 * removals)
            throw std::runtime_error("too few examinations for that many removals");

        auto start = Clock::now();
        buildDatabase(path, examinations);
        std::printf("built %ld examinations (both sets) in %.1f s, %.0f MB\n", examinations,
                    std::chrono::duration<double>(Clock::now() - start).count(),
                    std::filesystem::file_size(path) / 1e6);

        // Numbers spread over the whole range; the two methods take turns.
        std::vector<double> viaProgram, direct;
        ado::Connection connection("Provider=SQLite;Data Source=" + path);
        connection.Open();
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_busy_timeout(db, 30000);
        SilentToolkit ui;
        // One untimed removal each first, so neither side pays for reading the
        // file into the page cache.
        removal::cmdAtualizar_Click(std::to_string(examinations), connection, ui);
        removeDirectly(db, std::to_string(examinations - 1));

        const long step = (examinations - 2) / (2 * removals);
        for (int i = 0; i < removals; ++i) {
            const std::string a = std::to_string(1 + 2 * i * step);
            const std::string b = std::to_string(1 + (2 * i + 1) * step);

            start = Clock::now();
            removal::cmdAtualizar_Click(a, connection, ui);
            viaProgram.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

            start = Clock::now();
            removeDirectly(db, b);
            direct.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

            if (countExamRows(db, a) != 0 || countExamRows(db, b) != 0)
                throw std::runtime_error("an examination was not removed");
        }
        sqlite3_close(db);

        const Stats p = summarise(viaProgram), d = summarise(direct);
        std::printf("%d removals of one examination (live tables then twins, two commits each):\n", removals);
        std::printf("  remove command (check + both cascades): median %.2f ms, mean %.2f ms, max %.2f ms\n",
                    p.medianMs, p.meanMs, p.maxMs);
        std::printf("  same statements through sqlite3 directly: median %.2f ms, mean %.2f ms, max %.2f ms\n",
                    d.medianMs, d.meanMs, d.maxMs);
        if (argc <= 3) std::filesystem::remove(path);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "remover-bench: %s\n", e.what());
        return 1;
    }
}

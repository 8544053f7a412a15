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

#include "ExamTables.h"
#include "RemoveExamCommand.h"
#include "Toolkit.h"
#include "ado/Connection.h"
#include "ado/SqlRewrite.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers OK to every box and records whether anything but the expected
// confirmation and success appeared.
class SilentToolkit : public platform::Toolkit {
public:
    int MsgBox(const std::string& prompt, int, const std::string&) override {
        if (prompt.rfind("Tem certeza", 0) != 0 && prompt != "Exame removido com sucesso.")
            throw std::runtime_error("unexpected message: " + prompt);
        return platform::vbOK;
    }
    void SetMousePointer(int pointer) override { pointer_ = pointer; }
    int MousePointer() const override { return pointer_; }
    void End(int) override {}
    bool Ended() const override { return false; }
    int ExitCode() const override { return 0; }

private:
    int pointer_ = 0;
};

void exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message + " in: " + sql.substr(0, 200));
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every examination n gets: pages 2n, 2n+1; images 2n, 2n+1 (one per page);
// appliqué and image backup on image 2n; stages 2n, 2n+1; history on both,
// a printout on 2n; one row in each direct child.
void buildDatabase(const std::string& path, long examinations) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
    exec(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = OFF;");
    exec(db, readFile(REMOVER_SQL_DIR "/exam-schema.sql"));
    exec(db, "BEGIN");
    const std::string n = std::to_string(examinations);
    for (const std::string t : {"", "_BK"}) {
        const std::string seq =
            "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " + n + ") ";
        exec(db, seq + "INSERT INTO Exame" + t +
                     " (Número_Exame, Nome_Paciente, Data_Exame, Situação) SELECT printf('%d', n), "
                     "'Paciente ' || n, '2024-01-01', 'Liberado' FROM s");
        exec(db, seq + "INSERT INTO Exame_Página" + t +
                     " (ID_Página, Número_Exame, Número_Página) SELECT 2 * n + k, printf('%d', n), k + 1 "
                     "FROM s, (SELECT 0 AS k UNION ALL SELECT 1)");
        exec(db, seq + "INSERT INTO Exame_Imagem" + t +
                     " (ID_Imagem, ID_Página, Arquivo) SELECT 2 * n + k, 2 * n + k, 'img' || n || '.jpg' "
                     "FROM s, (SELECT 0 AS k UNION ALL SELECT 1)");
        exec(db, seq + "INSERT INTO Aplique" + t +
                     " (ID_Aplique, Id_Imagem, Texto) SELECT n, 2 * n, 'Seta' FROM s");
        exec(db, seq + "INSERT INTO Exame_Imagem_Backup" + t +
                     " (ID_Imagem_Backup, Id_Imagem, Arquivo_Original) SELECT n, 2 * n, 'orig.jpg' FROM s");
        exec(db,
             seq + "INSERT INTO Exame_Descritivo" + t +
                 " (ID_Exame_Descritivo, Número_Exame, Ordem, Texto) SELECT n, printf('%d', n), 1, 'Texto' "
                 "FROM s");
        exec(db, seq + "INSERT INTO Bethesda" + t +
                     " (ID_Bethesda, Número_Exame, Categoria) SELECT n, printf('%d', n), 'Negativo' FROM s");
        exec(db, seq + "INSERT INTO Exame_Etapa" + t +
                     " (ID_Exame_Etapa, Número_Exame, Etapa) SELECT 2 * n + k, printf('%d', n), 'Etapa' "
                     "FROM s, (SELECT 0 AS k UNION ALL SELECT 1)");
        exec(db, seq + "INSERT INTO Exame_Etapa_Histórico" + t +
                     " (ID_Exame_Etapa_Histórico, ID_Exame_Etapa, Data_Hora, Usuário) SELECT 2 * n + k, 2 * "
                     "n + k, "
                     "'2024-01-01 08:00:00', 'u' "
                     "FROM s, (SELECT 0 AS k UNION ALL SELECT 1)");
        exec(db, seq + "INSERT INTO Exame_Etapa_Imprimir" + t +
                     " (ID_Exame_Etapa_Imprimir, ID_Exame_Etapa, Cópias) SELECT n, 2 * n, 1 FROM s");
        exec(db, seq + "INSERT INTO Exame_CID" + t +
                     " (ID_Exame_CID, Número_Exame, Código_CID) SELECT n, printf('%d', n), 'N87.0' FROM s");
        exec(db,
             seq + "INSERT INTO Exame_Descritivo_Impressão_Tipo" + t +
                 " (ID_Impressão_Tipo, Número_Exame, Tipo_Impressão) SELECT n, printf('%d', n), 'Completo' "
                 "FROM s");
        exec(db, seq + "INSERT INTO Exame_Responsável" + t +
                     " (ID_Exame_Responsável, Número_Exame, Nome_Médico) SELECT n, printf('%d', n), 'Dr. X' "
                     "FROM s");
    }
    exec(db, "COMMIT");
    sqlite3_close(db);
}

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

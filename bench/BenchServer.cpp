#include "BenchServer.h"

#include <string>

#include "BenchDatabase.h"
#include "ExamTables.h"

namespace bench {

std::unique_ptr<testing_support::MariaDbServer> StartLoadedServer(long examinations, bool twins) {
    auto server = std::make_unique<testing_support::MariaDbServer>(
        std::vector<std::string>{"--innodb-buffer-pool-size=128M"});
    server->RunSql("CREATE DATABASE IF NOT EXISTS " + server->database() + " CHARACTER SET utf8mb4;");
    server->RunSql(readFile(REMOVER_SQL_DIR "/exam-schema.sql"));
    const std::string numbers = "(SELECT seq AS n FROM seq_1_to_" + std::to_string(examinations) + ") AS s";
    std::string tables;
    for (const std::string suffix : {"", "_BK"}) {
        if (!twins && !suffix.empty()) continue;
        for (const std::string& sql : FillStatements(suffix, "", numbers, "CAST(n AS CHAR)")) server->RunSql(sql + ";");
        for (const std::string_view table : removal::kExamTables)
            tables += (tables.empty() ? "" : ", ") + std::string(table) + suffix;
    }
    server->RunSql("ANALYZE TABLE " + tables + ";");
    return server;
}

}  // namespace bench

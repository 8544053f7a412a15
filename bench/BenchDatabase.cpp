#include "BenchDatabase.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bench {

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

std::vector<std::string> FillStatements(const std::string& t, const std::string& prefix, const std::string& s,
                                        const std::string& num) {
    const std::string two = "(SELECT 0 AS k UNION ALL SELECT 1) AS two";
    return {
        prefix + "INSERT INTO Exame" + t + " (Número_Exame, Nome_Paciente, Data_Exame, Situação) SELECT " +
            num + ", 'Paciente', '2024-01-01', 'Liberado' FROM " + s,
        prefix + "INSERT INTO Exame_Página" + t +
            " (ID_Página, Número_Exame, Número_Página) SELECT 2 * n + k, " + num + ", k + 1 FROM " + s +
            ", " + two,
        prefix + "INSERT INTO Exame_Imagem" + t +
            " (ID_Imagem, ID_Página, Arquivo) SELECT 2 * n + k, 2 * n + k, 'img.jpg' FROM " + s + ", " + two,
        prefix + "INSERT INTO Aplique" + t + " (ID_Aplique, Id_Imagem, Texto) SELECT n, 2 * n, 'Seta' FROM " +
            s,
        prefix + "INSERT INTO Exame_Imagem_Backup" + t +
            " (ID_Imagem_Backup, Id_Imagem, Arquivo_Original) SELECT n, 2 * n, 'orig.jpg' FROM " + s,
        prefix + "INSERT INTO Exame_Descritivo" + t +
            " (ID_Exame_Descritivo, Número_Exame, Ordem, Texto) SELECT n, " + num + ", 1, 'Texto' FROM " + s,
        prefix + "INSERT INTO Bethesda" + t + " (ID_Bethesda, Número_Exame, Categoria) SELECT n, " + num +
            ", 'Negativo' FROM " + s,
        prefix + "INSERT INTO Exame_Etapa" + t + " (ID_Exame_Etapa, Número_Exame, Etapa) SELECT 2 * n + k, " +
            num + ", 'Etapa' FROM " + s + ", " + two,
        prefix + "INSERT INTO Exame_Etapa_Histórico" + t +
            " (ID_Exame_Etapa_Histórico, ID_Exame_Etapa, Data_Hora, Usuário) SELECT 2 * n + k, 2 * n + k, "
            "'2024-01-01 08:00:00', 'u' FROM " +
            s + ", " + two,
        prefix + "INSERT INTO Exame_Etapa_Imprimir" + t +
            " (ID_Exame_Etapa_Imprimir, ID_Exame_Etapa, Cópias) SELECT n, 2 * n, 1 FROM " + s,
        prefix + "INSERT INTO Exame_CID" + t + " (ID_Exame_CID, Número_Exame, Código_CID) SELECT n, " + num +
            ", 'N87.0' FROM " + s,
        prefix + "INSERT INTO Exame_Descritivo_Impressão_Tipo" + t +
            " (ID_Impressão_Tipo, Número_Exame, Tipo_Impressão) SELECT n, " + num + ", 'Completo' FROM " + s,
        prefix + "INSERT INTO Exame_Responsável" + t +
            " (ID_Exame_Responsável, Número_Exame, Nome_Médico) SELECT n, " + num + ", 'Dr. X' FROM " + s,
    };
}

void buildDatabase(const std::string& path, long examinations) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
    exec(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = OFF;");
    exec(db, readFile(REMOVER_SQL_DIR "/exam-schema.sql"));
    exec(db, "BEGIN");
    const std::string sequence = "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " +
                                 std::to_string(examinations) + ") ";
    for (const std::string suffix : {"", "_BK"})
        for (const std::string& sql : FillStatements(suffix, sequence, "s", "printf('%d', n)")) exec(db, sql);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

}  // namespace bench

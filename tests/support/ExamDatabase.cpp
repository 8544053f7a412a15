#include "ExamDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "ado/Recordset.h"

namespace testing_support {
namespace {

const std::vector<std::string> kTables = {
    "Exame",
    "Exame_Página",
    "Exame_Imagem",
    "Aplique",
    "Exame_Imagem_Backup",
    "Exame_Descritivo",
    "Bethesda",
    "Exame_Etapa",
    "Exame_Etapa_Histórico",
    "Exame_Etapa_Imprimir",
    "Exame_CID",
    "Exame_Descritivo_Impressão_Tipo",
    "Exame_Responsável",
};

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::vector<std::string> rowsOf(ado::Connection& connection, const std::string& query) {
    ado::Recordset rs;
    rs.Open(query, connection);
    std::vector<std::string> rows;
    while (!rs.Eof()) {
        std::string row;
        for (long i = 0; i < rs.FieldCount(); ++i) {
            if (i) row += " | ";
            const auto& value = rs.Fields(i).Value();
            row += ado::IsNull(value) ? "NULL" : ado::ToText(value);
        }
        rows.push_back(row);
        rs.MoveNext();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool mentionsTwin(const std::string& statement) {
    return statement.find("_BK") != std::string::npos;
}

}  // namespace

std::vector<std::string> SqlStatements(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::string> statements;
    std::string line, current;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.compare(first, 2, "--") == 0) continue;
        current += line;
        current += '\n';
        const auto last = line.find_last_not_of(" \t");
        if (line[last] == ';') {
            statements.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(" \t\n") != std::string::npos) statements.push_back(current);
    return statements;
}

std::string ExamSchemaFile() {
    return std::string(EXAM_SQL_DIR) + "/exam-schema.sql";
}
std::string ExamSeedFile() {
    return std::string(EXAM_SQL_DIR) + "/exam-seed.sql";
}

void LoadExamDatabase(ado::Connection& connection, Twins twins) {
    for (const auto& file : {ExamSchemaFile(), ExamSeedFile()})
        for (const auto& statement : SqlStatements(file))
            if (twins == Twins::Included || !mentionsTwin(statement)) connection.Execute(statement);
}

std::string CreateSqliteExamDatabase(const std::string& path, Twins twins) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + path);
    }
    // Written out, so that the file holds a database before the first table.
    sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string connectionString = "Provider=SQLite;Data Source=" + path;
    ado::Connection connection(connectionString);
    connection.Open();
    connection.BeginTrans();
    LoadExamDatabase(connection, twins);
    connection.CommitTrans();
    connection.Close();
    return connectionString;
}

Snapshot TakeSnapshot(ado::Connection& connection, Twins twins) {
    Snapshot snapshot;
    for (const auto& table : kTables) {
        snapshot[table] = rowsOf(connection, "SELECT * FROM " + table);
        if (twins == Twins::Included)
            snapshot[table + "_BK"] = rowsOf(connection, "SELECT * FROM " + table + "_BK");
    }
    return snapshot;
}

Snapshot RowsOfExamination(ado::Connection& connection, const std::string& number,
                           const std::string& suffix) {
    const std::string n = quoted(number);
    auto t = [&](const std::string& table) { return table + suffix; };
    const std::string exams = "SELECT Número_Exame FROM " + t("Exame") + " WHERE Número_Exame = " + n;
    const std::string pages =
        "SELECT ID_Página FROM " + t("Exame_Página") + " WHERE Número_Exame IN (" + exams + ")";
    const std::string images =
        "SELECT ID_Imagem FROM " + t("Exame_Imagem") + " WHERE ID_Página IN (" + pages + ")";
    const std::string stages =
        "SELECT ID_Exame_Etapa FROM " + t("Exame_Etapa") + " WHERE Número_Exame IN (" + exams + ")";

    std::map<std::string, std::string> where = {
        {"Exame", "Número_Exame = " + n},
        {"Exame_Página", "Número_Exame IN (" + exams + ")"},
        {"Exame_Imagem", "ID_Página IN (" + pages + ")"},
        {"Aplique", "Id_Imagem IN (" + images + ")"},
        {"Exame_Imagem_Backup", "Id_Imagem IN (" + images + ")"},
        {"Exame_Etapa", "Número_Exame IN (" + exams + ")"},
        {"Exame_Etapa_Histórico", "ID_Exame_Etapa IN (" + stages + ")"},
        {"Exame_Etapa_Imprimir", "ID_Exame_Etapa IN (" + stages + ")"},
    };
    for (const char* direct : {"Exame_Descritivo", "Bethesda", "Exame_CID", "Exame_Descritivo_Impressão_Tipo",
                               "Exame_Responsável"})
        where[direct] = "Número_Exame IN (" + exams + ")";

    Snapshot rows;
    for (const auto& table : kTables)
        rows[t(table)] = rowsOf(connection, "SELECT * FROM " + t(table) + " WHERE " + where.at(table));
    return rows;
}

Snapshot Without(const Snapshot& before, const Snapshot& removed) {
    Snapshot result = before;
    for (const auto& [table, rows] : removed) {
        auto& kept = result[table];
        for (const auto& row : rows) {
            auto it = std::find(kept.begin(), kept.end(), row);
            if (it != kept.end()) kept.erase(it);
        }
    }
    return result;
}

SeedNumbers FindSeedNumbers(ado::Connection& connection) {
    const auto live = rowsOf(connection, "SELECT Número_Exame FROM Exame");
    const auto twins = rowsOf(connection, "SELECT Número_Exame FROM Exame_BK");
    SeedNumbers numbers;
    for (const auto& n : live)
        (std::binary_search(twins.begin(), twins.end(), n) ? numbers.both : numbers.liveOnly).push_back(n);
    for (const auto& n : twins)
        if (!std::binary_search(live.begin(), live.end(), n)) numbers.twinsOnly.push_back(n);
    return numbers;
}

std::size_t CountRows(const Snapshot& snapshot) {
    std::size_t count = 0;
    for (const auto& [table, rows] : snapshot) count += rows.size();
    return count;
}

}  // namespace testing_support

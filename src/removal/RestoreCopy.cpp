#include "RestoreCopy.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>
#include <iterator>
#include <optional>

#include <nlohmann/json.hpp>

#include "Digest.h"
#include "DurableFile.h"
#include "ExamTables.h"
#include "JsonText.h"
#include "RemovalAudit.h"
#include "UtcTime.h"
#include "ado/AdoError.h"
#include "ado/Recordset.h"

namespace removal {
namespace {

using nlohmann::ordered_json;

struct Refusal {
    std::string reason;
};

struct FileTable {
    std::string table;
    std::vector<std::string> columns;
    std::vector<std::vector<ado::Parameter>> rows;
};

struct FileSet {
    std::string suffix;
    bool committed = false;
    bool pending = false;  // "pendente": committed only if its examination is gone
    std::vector<FileTable> tables;  // cascade order
};

const std::string kDamaged = "o arquivo está danificado, incompleto ou não é uma cópia de remoção";

void require(bool condition, const std::string& reason = kDamaged) {
    if (!condition) throw Refusal{reason};
}

const ordered_json& member(const ordered_json& object, const char* key) {
    require(object.is_object() && object.contains(key));
    return object.at(key);
}

std::string text(const ordered_json& object, const char* key) {
    const ordered_json& value = member(object, key);
    require(value.is_string());
    return value.get<std::string>();
}

ado::Parameter parameterFrom(const ordered_json& value) {
    if (value.is_null()) return {};
    if (value.is_number_integer()) {
        require(!value.is_number_unsigned() ||
                value.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX));
        return {value.get<std::int64_t>(), false};
    }
    if (value.is_number_float()) return {value.get<double>(), false};
    if (value.is_string()) return {value.get<std::string>(), false};
    require(value.is_object() && value.size() == 1);
    if (value.contains("base64")) {
        require(value["base64"].is_string());
        const auto bytes = platform::Base64Decode(value["base64"].get<std::string>());
        require(bytes.has_value());
        return {*bytes, true};
    }
    const std::string real = text(value, "real");
    require(real == "inf" || real == "-inf" || real == "nan");
    const double infinity = std::numeric_limits<double>::infinity();
    return {real == "nan" ? std::numeric_limits<double>::quiet_NaN() : real == "inf" ? infinity : -infinity,
            false};
}

// A record's checksum: the SHA-256 of its compact text without the member
// "sha256", which must be its last.
bool sealedRight(ordered_json& record) {
    if (!record.is_object() || record.empty() || record.back().type() != ordered_json::value_t::string) return false;
    if (std::prev(record.end()).key() != "sha256") return false;
    const std::string checksum = record.back().get<std::string>();
    record.erase("sha256");
    const bool right = platform::Sha256Hex(record.dump(-1, ' ', false, ordered_json::error_handler_t::strict)) ==
                       checksum;
    record["sha256"] = checksum;
    return right;
}

// A file of records (one per line, each sealed and chained to the one
// before; the first, already read, is header) as the whole document an
// earlier version wrote, without its checksum. Only the last line may fail
// to read: it is what a crash left of a record being written, before any
// commit relied on it.
ordered_json documentFromRecords(const std::string& content, ordered_json header, bool& unfinished) {
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < content.size();) {
        const std::size_t end = content.find('\n', at);
        const std::size_t next = end == std::string::npos ? content.size() : end + 1;
        lines.push_back(std::string_view(content).substr(at, next - at));
        at = next;
    }
    std::vector<std::string> declared;
    ordered_json conjuntos = ordered_json::array();
    std::string previous;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ordered_json record;
        if (i == 0)
            record = std::move(header);
        else if (lines[i].back() == '\n')
            record = ReadJson(lines[i]);
        bool good = !record.is_discarded() && sealedRight(record);
        if (good && i > 0) good = record.contains("anterior") && record["anterior"] == previous;
        if (!good) {
            require(i > 0, "a soma de verificação não confere: o arquivo foi alterado ou está danificado");
            require(i + 1 == lines.size(), "a soma de verificação não confere: o arquivo foi alterado ou está danificado");
            unfinished = true;
            break;
        }
        previous = record["sha256"].get<std::string>();
        record.erase("sha256");
        if (i == 0) {
            header = std::move(record);
            const ordered_json& suffixes = member(header, "conjuntos");
            require(suffixes.is_array() && suffixes.size() <= 2);
            for (const ordered_json& suffix : suffixes) {
                require(suffix.is_string());
                declared.push_back(suffix.get<std::string>());
            }
            continue;
        }
        record.erase("anterior");
        const ordered_json& estados = member(record, "estados");
        const bool withSet = record.contains("conjunto");
        require(record.size() == (withSet ? 2u : 1u) && estados.is_array() &&
                estados.size() == conjuntos.size() + (withSet ? 1 : 0) && estados.size() <= declared.size());
        if (withSet) {
            ordered_json& set = record["conjunto"];
            require(set.is_object() && set.size() == 2 && text(set, "sufixo") == declared[conjuntos.size()]);
            // Moved, not copied: the tables are most of the file.
            ordered_json entry = ordered_json::object();
            entry["sufixo"] = std::move(set["sufixo"]);
            entry["estado"] = nullptr;
            entry["tabelas"] = std::move(set["tabelas"]);
            conjuntos.push_back(std::move(entry));
        }
        for (std::size_t s = 0; s < estados.size(); ++s) conjuntos[s]["estado"] = estados[s];
    }
    require(header.is_object());
    header["versao"] = 1;
    header["conjuntos"] = std::move(conjuntos);
    return header;
}

// The file's content in the whole-document form, without its checksum, once
// the checksums have been checked.
ordered_json documentFrom(const std::string& content, bool& unfinished) {
    unfinished = false;
    // A file of records starts with a line that is an object of version 2.
    // A line whose last character other than white space is no closing
    // brace holds no object, and is not read.
    const std::size_t firstEnd = content.find('\n');
    if (firstEnd != std::string::npos) {
        const std::string_view line = std::string_view(content).substr(0, firstEnd);
        const std::size_t last = line.find_last_not_of(" \t\r");
        if (last != std::string_view::npos && line[last] == '}') {
            ordered_json first = ReadJson(line);
            if (first.is_object() && first.contains("versao") && first["versao"] == 2)
                return documentFromRecords(content, std::move(first), unfinished);
        }
    }
    ordered_json document = ReadJson(content);
    require(!document.is_discarded() && document.is_object());
    const std::string checksum = text(document, "sha256");
    document.erase("sha256");
    require(platform::Sha256Hex(document.dump(-1, ' ', false, ordered_json::error_handler_t::strict)) == checksum,
            "a soma de verificação não confere: o arquivo foi alterado ou está danificado");
    return document;
}

// The file's content, once its checksum, form and origin have been checked.
std::vector<FileSet> readCopyText(const std::string& content, const std::string& connectionString,
                                  std::string& numeroExame, bool& unfinished) {
    const ordered_json document = documentFrom(content, unfinished);
    require(text(document, "formato") == "remover-exame/copia" && member(document, "versao") == 1);
    numeroExame = text(document, "exame");

    const ordered_json& banco = member(document, "banco");
    require(banco.is_object());
    const DatabaseName here = DescribeDatabase(connectionString);
    for (const auto& [key, value] : {std::pair{"provedor", &here.provider}, std::pair{"servidor", &here.server},
                                     std::pair{"base", &here.database}, std::pair{"dsn", &here.dsn},
                                     std::pair{"arquivo", &here.file}}) {
        const std::string inFile = banco.contains(key) ? text(banco, key) : std::string();
        require(inFile == *value, "o arquivo é de outro banco de dados (" + std::string(key) + " \"" + inFile +
                                      "\", e não \"" + *value + "\")");
    }

    std::vector<FileSet> sets;
    const ordered_json& conjuntos = member(document, "conjuntos");
    require(conjuntos.is_array() && conjuntos.size() <= 2);
    for (const ordered_json& conjunto : conjuntos) {
        FileSet set;
        set.suffix = text(conjunto, "sufixo");
        require(set.suffix == kLiveTables || set.suffix == kBackupTables);
        for (const FileSet& other : sets) require(other.suffix != set.suffix);
        const std::string estado = text(conjunto, "estado");
        require(estado == "confirmado" || estado == "pendente" || estado == "desfeito");
        // A set still "pendente" was written before its commit and never
        // marked: the program (or the machine) stopped in between. Whether
        // the commit happened is told by the database: the examination is
        // gone only if it did.
        set.committed = estado == "confirmado" || estado == "pendente";
        set.pending = estado == "pendente";
        const ordered_json& tabelas = member(conjunto, "tabelas");
        require(tabelas.is_array() && tabelas.size() == kCascadeStatements.size());
        for (std::size_t t = 0; t < tabelas.size(); ++t) {
            FileTable table;
            table.table = text(tabelas[t], "tabela");
            require(table.table == std::string(kCascadeStatements[t].table) + set.suffix);
            const ordered_json& colunas = member(tabelas[t], "colunas");
            require(colunas.is_array());
            for (const ordered_json& coluna : colunas) table.columns.push_back(text(coluna, "nome"));
            const ordered_json& linhas = member(tabelas[t], "linhas");
            require(linhas.is_array());
            for (const ordered_json& linha : linhas) {
                require(linha.is_array() && linha.size() == table.columns.size());
                std::vector<ado::Parameter> row;
                for (const ordered_json& value : linha) row.push_back(parameterFrom(value));
                table.rows.push_back(std::move(row));
            }
            set.tables.push_back(std::move(table));
        }
        sets.push_back(std::move(set));
    }
    return sets;
}

std::vector<FileSet> readCopy(const std::string& path, const ado::Connection& connection,
                              std::string& numeroExame, bool& unfinished) {
    platform::FileFailure failure;
    const auto content = platform::ReadSmallFile(path, kLargestCopyFile, failure);
    require(content.has_value(), "não foi possível ler o arquivo: " + failure.reason);
    return readCopyText(*content, connection.ConnectionString(), numeroExame, unfinished);
}

// The table's columns must be exactly the file's, each named once.
void checkColumns(ado::Connection& connection, const FileTable& table) {
    std::vector<std::string> real;
    auto schema = connection.OpenSchema(ado::adSchemaColumns, {"", "", table.table});
    for (; !schema->Eof(); schema->MoveNext()) real.push_back(ado::ToText(schema->Fields("COLUMN_NAME").Value()));
    std::vector<std::string> inFile = table.columns;
    std::sort(real.begin(), real.end());
    std::sort(inFile.begin(), inFile.end());
    require(!real.empty() && real == inFile,
            "as colunas da tabela '" + table.table + "' não correspondem mais às do arquivo");
}

bool examinationPresent(ado::Connection& connection, const std::string& numeroExame, const std::string& suffix) {
    ado::Recordset recordset;
    recordset.Open(ExistenceQuery(numeroExame, suffix), connection);
    return ado::ToInteger(recordset.Fields(0).Value()).value_or(0) > 0;
}

std::string insertText(ado::Connection& connection, const FileTable& table) {
    std::string columns, markers;
    for (const std::string& column : table.columns) {
        if (!columns.empty()) columns += ", ", markers += ", ";
        columns += connection.QuoteIdentifier(column);
        markers += '?';
    }
    return "INSERT INTO " + connection.QuoteIdentifier(table.table) + " (" + columns + ") VALUES (" + markers + ")";
}

std::string errorText(const ado::AdoError& error) {
    return std::to_string(static_cast<std::int32_t>(error.status())) + " - " + error.what();
}

}  // namespace

std::string CheckCopyText(const std::string& content, const std::string& connectionString) {
    std::string numeroExame;
    bool unfinished = false;
    try {
        readCopyText(content, connectionString, numeroExame, unfinished);
    } catch (const Refusal& refusal) {
        return refusal.reason;
    }
    return {};
}

std::string CopyAsDocument(const std::string& content, std::string& reason) {
    try {
        bool unfinished = false;
        ordered_json document = documentFrom(content, unfinished);
        document["sha256"] = platform::Sha256Hex(document.dump(-1, ' ', false, ordered_json::error_handler_t::strict));
        return document.dump() + "\n";
    } catch (const Refusal& refusal) {
        reason = refusal.reason;
    } catch (const ordered_json::exception& e) {
        reason = e.what();
    }
    return {};
}

RestoreReport RestoreRemovedRows(const std::string& path, ado::Connection& connection, bool simulate) {
    RestoreReport report;
    std::vector<FileSet> sets;
    try {
        sets = readCopy(path, connection, report.numeroExame, report.unfinished);
        bool anyCommitted = false;
        for (FileSet& set : sets) {
            // A pending set whose examination is there was never removed: not
            // put back, and no reason to refuse the sets that were.
            if (set.pending && examinationPresent(connection, report.numeroExame, set.suffix)) set.committed = false;
            RestoreReport::SetRows rows{set.suffix, set.committed, {}, false};
            for (auto table = set.tables.rbegin(); table != set.tables.rend(); ++table)
                rows.tables.emplace_back(table->table, table->rows.size());
            report.sets.push_back(std::move(rows));
            if (!set.committed) continue;
            anyCommitted = true;
            // A table with no row to put back is not written to, whatever its
            // columns are now (a set read without the examination keeps none).
            for (const FileTable& table : set.tables)
                if (!table.rows.empty()) checkColumns(connection, table);
            require(!examinationPresent(connection, report.numeroExame, set.suffix),
                    "o exame '" + report.numeroExame + "' já está em 'Exame" + set.suffix +
                        "' (criado de novo, ou já restaurado)");
        }
        require(anyCommitted, "nenhuma remoção deste arquivo chegou a ser confirmada: não há o que restaurar");
    } catch (const Refusal& refusal) {
        report.outcome = RestoreReport::Outcome::Refused;
        report.reason = refusal.reason;
        return report;
    } catch (const ado::AdoError& error) {
        report.outcome = RestoreReport::Outcome::Refused;
        report.reason = "ao verificar o banco de dados, ocorreu o seguinte erro: " + errorText(error);
        return report;
    }
    // Every set is first inserted and rolled back, so that a row whose key is
    // already there (or that the database refuses for any other reason)
    // refuses the whole file before any set is committed.
    for (const bool trial : {true, false}) {
        if (!trial && simulate) break;
        for (std::size_t s = 0; s < sets.size(); ++s) {
            if (!sets[s].committed) continue;
            std::string table;
            try {
                connection.BeginTrans();
                // Parents first: the reverse of the order the cascade removed them in.
                for (auto t = sets[s].tables.rbegin(); t != sets[s].tables.rend(); ++t) {
                    table = t->table;
                    const std::string sql = insertText(connection, *t);
                    for (const auto& row : t->rows) connection.ExecuteWith(sql, row);
                }
                table.clear();
                if (trial) {
                    connection.RollbackTrans();
                } else {
                    connection.CommitTrans();
                    report.sets[s].inserted = true;
                }
            } catch (const ado::AdoError& error) {
                if (connection.InTransaction()) {
                    try {
                        connection.RollbackTrans();
                    } catch (const ado::AdoError&) {
                    }
                }
                report.outcome = trial ? RestoreReport::Outcome::Refused : RestoreReport::Outcome::Failed;
                report.reason = (trial ? "o banco de dados recusa as linhas de '" + table +
                                             "' (uma delas já está lá?): "
                                       : "ao restaurar 'Exame" + sets[s].suffix + "', ocorreu o seguinte erro: ") +
                                errorText(error) + "; nada foi inserido nesse conjunto";
                return report;
            }
        }
    }
    if (simulate) {
        report.outcome = RestoreReport::Outcome::Simulated;
        return report;
    }
    report.outcome = RestoreReport::Outcome::Restored;
    return report;
}

std::string RestoreAuditLine(const std::string& path, bool simulate, const RestoreReport& report,
                             const std::string& user, const std::string& host,
                             const std::string& connectionString) {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::tm utc = platform::UtcTimeParts(now);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = std::string("evento=restauracao_exame inicio=") + when + " origem=linha_de_comando modo=" +
                       (simulate ? "simular" : "confirmar");
    line += " usuario=" + LogQuoted(user) + " host=" + LogQuoted(host);
    const DatabaseName database = DescribeDatabase(connectionString);
    for (const auto& [key, value] : {std::pair{"provedor", &database.provider},
                                     std::pair{"servidor", &database.server}, std::pair{"base", &database.database},
                                     std::pair{"dsn", &database.dsn}, std::pair{"arquivo", &database.file}})
        if (!value->empty()) line += std::string(" ") + key + "=" + LogQuoted(*value);
    line += " copia=" + LogQuoted(path) + " exame=" + LogQuoted(report.numeroExame, kLoggedNumberLimit);
    static constexpr const char* kOutcomes[] = {"recusado", "simulado", "restaurado", "falhou"};
    line += std::string(" resultado=") + kOutcomes[static_cast<int>(report.outcome)];
    for (const auto& set : report.sets) {
        if (!set.inserted) continue;
        line += set.suffix.empty() ? " vivo_linhas=" : " bk_linhas=";
        for (std::size_t i = 0; i < set.tables.size(); ++i)
            line += (i ? "," : "") + set.tables[i].first + ":" + std::to_string(set.tables[i].second);
    }
    if (!report.reason.empty()) line += " motivo=" + LogQuoted(report.reason);
    return line;
}

}  // namespace removal

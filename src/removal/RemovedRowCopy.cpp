#include "RemovedRowCopy.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "Diagnostics.h"
#include "Digest.h"
#include "DurableFile.h"
#include "ErrorPrompt.h"
#include "RemovalAudit.h"
#include "UtcTime.h"
#include "Utf8.h"
#include "ado/AdoError.h"
#include "clsADO.h"

namespace removal {
namespace {

const std::string kTitle = "Atenção!";

std::string trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// The reading of a statement "DELETE {X} FROM {X} INNER JOIN <parents> ON
// {X}.c = {P}.p" + W is "SELECT * FROM {X} WHERE {X}.c IN (SELECT {P}.p FROM
// <parents> W)": the same joins and filter, asked of X's own rows.
std::string readingTemplate(const CascadeStatement& statement, std::string_view what,
                            std::string_view numeroExame, std::string_view suffix) {
    const std::string_view text = statement.statementTemplate;
    const std::string head = "DELETE {" + std::string(statement.table) + "} FROM {" +
                             std::string(statement.table) + "}";
    if (text.substr(0, head.size()) != head) throw std::logic_error("cascade statement of another form");
    const std::string_view rest = text.substr(head.size());
    std::string filter = CascadeFilter(numeroExame, suffix);
    const std::string target = "{" + std::string(statement.table) + "}";
    if (trim(rest).empty())
        return "SELECT " + std::string(what) + " FROM " + ExpandTables(target, suffix) + filter;

    filter.pop_back();  // the ";" that ends the statement ends the outer query
    const std::string_view join = "INNER JOIN";
    const std::size_t joinAt = rest.find(join);
    const std::size_t onAt = rest.rfind(" ON ");
    const std::size_t equals = rest.find('=', onAt);
    if (joinAt == std::string_view::npos || onAt == std::string_view::npos || equals == std::string_view::npos)
        throw std::logic_error("cascade statement of another form");
    const std::string parents = trim(rest.substr(joinAt + join.size(), onAt - joinAt - join.size()));
    const std::string link = trim(rest.substr(onAt + 4, equals - onAt - 4));
    const std::string parentKey = trim(rest.substr(equals + 1));
    return "SELECT " + std::string(what) + " FROM " + ExpandTables(target, suffix) + " WHERE " +
           ExpandTables(link, suffix) + " IN (SELECT " + ExpandTables(parentKey, suffix) + " FROM " +
           ExpandTables(parents, suffix) + filter + ");";
}

bool validUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const platform::Utf8Sequence sequence = platform::DecodeUtf8At(text, i);
        if (!sequence.valid) return false;
        i += sequence.length;
    }
    return true;
}

// A value exactly as read: null, a whole number, a floating-point number,
// text, or binary data as {"base64": ...}. A floating-point value that JSON
// cannot hold (infinite, not a number) goes as {"real": "inf"}.
nlohmann::ordered_json valueJson(const ado::Variant& value, bool binary) {
    if (ado::IsNull(value)) return nullptr;
    if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
    if (const auto* d = std::get_if<double>(&value)) {
        if (std::isfinite(*d)) return *d;
        return {{"real", std::isnan(*d) ? "nan" : (*d > 0 ? "inf" : "-inf")}};
    }
    const std::string& text = std::get<std::string>(value);
    if (binary || !validUtf8(text)) return {{"base64", platform::Base64Encode(text)}};
    return text;
}

std::string_view stateWord(KeptSet::State state) {
    switch (state) {
        case KeptSet::State::Committed:
            return "confirmado";
        case KeptSet::State::RolledBack:
            return "desfeito";
        case KeptSet::State::Pending:
            break;
    }
    return "pendente";
}

std::string utcText(std::chrono::system_clock::time_point when, bool compact) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const std::tm utc = platform::UtcTimeParts(seconds);
    char text[64];
    std::strftime(text, sizeof text, compact ? "%Y%m%dT%H%M%SZ" : "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The table a cascade statement joins its own to (the first after INNER
// JOIN), as its place in the cascade; none for a statement without joins.
std::optional<std::size_t> parentOf(const CascadeStatement& statement) {
    const std::string_view text = statement.statementTemplate;
    const std::size_t join = text.find("INNER JOIN");
    if (join == std::string_view::npos) return std::nullopt;
    const std::size_t open = text.find('{', join);
    const std::size_t close = text.find('}', open);
    const std::string_view name = text.substr(open + 1, close - open - 1);
    for (std::size_t t = 0; t < kCascadeStatements.size(); ++t)
        if (kCascadeStatements[t].table == name) return t;
    throw std::logic_error("cascade statement joining an unknown table");
}

}  // namespace

std::string ReadingStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                 std::string_view suffix) {
    return readingTemplate(statement, "*", numeroExame, suffix);
}

std::string RowCountStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                  std::string_view suffix) {
    return readingTemplate(statement, "COUNT(*)", numeroExame, suffix);
}

bool IsBinaryType(std::int64_t adoType) {
    return adoType == 128 || adoType == 204 || adoType == 205;  // adBinary, adVarBinary, adLongVarBinary
}

bool ReadRemovedRows(ado::Connection& connection, const std::string& numeroExame, const std::string& suffix,
                     std::vector<KeptTable>& tables, std::string& error) {
    tables.clear();
    clsADO ado;
    std::string lockingRead;
    bool together = false;
    try {
        lockingRead = connection.LockingReadClause();
        together = connection.QueriesInOneRequest();
    } catch (const ado::AdoError& e) {
        error = std::to_string(static_cast<std::int32_t>(e.status())) + " - " + e.what();
        return false;
    }
    // Every statement joins its table through its parent (the first table it
    // joins), and the parent through its own, up to Exame with the filter on
    // the number, the same joins the parent's own statement makes: so where
    // the parent's reading found no row, the child's statement deletes
    // nothing. The tables are read parents first (the reverse of the cascade
    // order, Exame first). A table whose parent found nothing keeps no
    // columns and no rows; it is not even asked where each query costs a
    // wait for the server (a set without the examination costs one query,
    // not thirteen). Where the database takes all thirteen queries in one
    // request, they go together instead: one wait in all.
    const std::size_t count = kCascadeStatements.size();
    const auto reading = [&](std::size_t n) {
        // The rows read stay as read until the commit, on databases whose
        // plain reads take no lock.
        std::string sql = ReadingStatementText(kCascadeStatements[count - 1 - n], numeroExame, suffix);
        sql.insert(sql.size() - 1, lockingRead);
        return sql;
    };
    std::vector<ado::RowSet> results;
    if (together) {
        std::vector<std::string> queries;
        for (std::size_t n = 0; n < count; ++n) queries.push_back(reading(n));
        if (!ado.OpenQueries(connection, queries, results)) {
            error = RecordedError(ado);
            return false;
        }
    }
    tables.resize(count);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t t = count - 1 - n;
        KeptTable& kept = tables[t];
        kept.table = std::string(kCascadeStatements[t].table) + suffix;
        const std::optional<std::size_t> parent = parentOf(kCascadeStatements[t]);
        if (parent && tables[*parent].rows.empty()) continue;
        ado::RowSet read;
        if (together) {
            read = std::move(results[n]);
        } else {
            std::vector<ado::RowSet> one;
            if (!ado.OpenQueries(connection, {reading(n)}, one)) {
                error = RecordedError(ado);
                tables.clear();
                return false;
            }
            read = std::move(one.front());
        }
        // The declared types as the query's own result describes them.
        for (std::size_t i = 0; i < read.columns.size(); ++i)
            kept.columns.push_back({read.columns[i], i < read.types.size() ? read.types[i] : -1});
        kept.rows = std::move(read.rows);
    }
    return true;
}

namespace {

nlohmann::ordered_json setJson(const KeptSet& set) {
    using nlohmann::ordered_json;
    ordered_json tabelas = ordered_json::array();
    for (const KeptTable& table : set.tables) {
        ordered_json colunas = ordered_json::array();
        for (const KeptColumn& column : table.columns)
            colunas.push_back({{"nome", column.name}, {"tipo", column.type}});
        ordered_json linhas = ordered_json::array();
        for (const auto& row : table.rows) {
            ordered_json values = ordered_json::array();
            for (std::size_t i = 0; i < row.size(); ++i)
                values.push_back(valueJson(row[i], i < table.columns.size() && IsBinaryType(table.columns[i].type)));
            linhas.push_back(std::move(values));
        }
        tabelas.push_back({{"tabela", table.table}, {"colunas", std::move(colunas)}, {"linhas", std::move(linhas)}});
    }
    return {{"sufixo", set.suffix}, {"tabelas", std::move(tabelas)}};
}

// The record's line: its compact text with the checksum of that text added
// as its last member (a reader takes the member out, writes the rest
// compactly again and compares).
std::string sealed(const nlohmann::ordered_json& record, std::string* checksum = nullptr) {
    using nlohmann::ordered_json;
    std::string text = record.dump(-1, ' ', false, ordered_json::error_handler_t::strict);
    const std::string sum = platform::Sha256Hex(text);
    if (checksum) *checksum = sum;
    // The compact text of the record with the member added at its end.
    text.pop_back();
    return text + (record.empty() ? "" : ",") + "\"sha256\":\"" + sum + "\"}\n";
}

}  // namespace

std::string CopyHeaderRecord(const CopyHeader& header, const std::vector<std::string>& suffixes,
                             std::string& checksum) {
    using nlohmann::ordered_json;
    const DatabaseName database = DescribeDatabase(header.connectionString);
    ordered_json banco = ordered_json::object();
    for (const auto& [key, value] : {std::pair{"provedor", &database.provider},
                                     std::pair{"servidor", &database.server}, std::pair{"base", &database.database},
                                     std::pair{"dsn", &database.dsn}, std::pair{"arquivo", &database.file}})
        if (!value->empty()) banco[key] = *value;
    return sealed({
        {"formato", "remover-exame/copia"},
        {"versao", 2},
        {"exame", header.numeroExame},
        {"quando", utcText(header.when, false)},
        {"usuario", header.user},
        {"host", header.host},
        {"banco", std::move(banco)},
        {"conjuntos", suffixes},
    }, &checksum);
}

std::string CopyRecord(const std::vector<KeptSet>& sets, std::size_t n, bool withSet, std::string& previous) {
    using nlohmann::ordered_json;
    ordered_json estados = ordered_json::array();
    for (std::size_t i = 0; i < n; ++i) estados.push_back(stateWord(sets[i].state));
    ordered_json record = {{"estados", std::move(estados)}};
    if (withSet) record["conjunto"] = setJson(sets[n - 1]);
    record["anterior"] = previous;
    return sealed(std::move(record), &previous);
}

std::string CopyFileName(const CopyHeader& header) {
    std::string number;
    for (char c : header.numeroExame.substr(0, 64))
        number += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
    static int serial = 0;
    return "exame-" + number + "-" + utcText(header.when, true) + "-" + std::to_string(++serial) + ".json";
}

RemovalCopy::RemovalCopy(std::string folder, CopyHeader header, platform::Toolkit& ui)
    : folder_(std::move(folder)), header_(std::move(header)), ui_(ui) {
    std::string separated = folder_;
    if (!separated.empty() && separated.back() != '/' && separated.back() != '\\') separated += '/';
    path_ = separated + CopyFileName(header_);
}

namespace {

bool anyRow(const KeptSet& set) {
    for (const KeptTable& table : set.tables)
        if (!table.rows.empty()) return true;
    return false;
}

}  // namespace

bool RemovalCopy::BeforeStatements(ado::Connection& fCN, const std::string& Num_Exame,
                                   const std::string& Terminação, CascadeReport& report) {
    KeptSet set;
    set.suffix = Terminação;
    std::string error;
    if (!ReadRemovedRows(fCN, Num_Exame, Terminação, set.tables, error)) {
        report.failedAt = "copia";
        report.error = error;
        ui_.MsgBox("Ao ler os registros de 'Exame" + Terminação + "' para guardar sua cópia, ocorreu o seguinte erro:\n\n" +
                       error,
                   platform::vbOKOnly, kTitle);
        return false;
    }
    sets_.push_back(std::move(set));
    // The set's rows go to the file, "pendente", while its statements run:
    // the flush, most of what a copy costs, overlaps the deletes, and
    // BeforeCommit waits for it before the commit is sent. A set that
    // removes no row has nothing to lose: no flush before its commit.
    if (anyRow(sets_.back())) {
        ahead_ = true;
        aheadFailure_ = {};
        // Nothing the thread reads changes before settle() has waited for it.
        const auto writeAhead = [this]() noexcept {
            try {
                return prepare(aheadRecords_, aheadFailure_) && store(path_, aheadRecords_, true, aheadFailure_);
            } catch (const std::exception& e) {
                aheadFailure_.reason = e.what();
                return false;
            }
        };
        try {
            aheadDone_ = std::async(std::launch::async, writeAhead);
        } catch (const std::system_error&) {
            // No thread to be had: written here, and settled as if it had run.
            std::promise<bool> done;
            done.set_value(writeAhead());
            aheadDone_ = done.get_future();
        }
    }
    return true;
}

bool RemovalCopy::settle(platform::FileFailure& failure) {
    if (!ahead_) return true;
    ahead_ = false;
    const bool ok = aheadDone_.valid() && aheadDone_.get();
    if (ok)
        stored(std::move(aheadRecords_));
    else
        failure = aheadFailure_;
    return ok;
}

bool RemovalCopy::BeforeCommit(CascadeReport& report) {
    platform::FileFailure failure;
    const bool onDisk = settle(failure);
    KeptSet& set = sets_.back();
    for (std::size_t i = 0; i < set.tables.size() && i < report.removed.size(); ++i) {
        const std::int32_t removed = report.removed[i].rows;
        // A database that does not say how many rows went cannot be checked.
        if (removed < 0 || static_cast<std::size_t>(removed) == set.tables[i].rows.size()) continue;
        report.failedAt = "copia";
        report.error = set.tables[i].table + ": " + std::to_string(set.tables[i].rows.size()) + " copiados, " +
                       std::to_string(removed) + " removidos";
        ui_.MsgBox("Os registros de '" + set.tables[i].table + "' mudaram durante a remoção (" +
                       std::to_string(set.tables[i].rows.size()) + " copiados, " + std::to_string(removed) +
                       " removidos): outro usuário pode ter alterado o exame.\n\nA remoção de 'Exame" + set.suffix +
                       "' foi desfeita.",
                   platform::vbOKOnly, kTitle);
        set.state = KeptSet::State::RolledBack;
        return false;
    }
    return onDisk || failed(failure, &report, true);
}

void RemovalCopy::SetEnded(const CascadeReport& report) {
    if (sets_.empty()) return;
    platform::FileFailure ignored;  // the set was rolled back before its commit
    settle(ignored);
    KeptSet& set = sets_.back();
    const bool committed =
        report.end == CascadeReport::End::Committed || report.end == CascadeReport::End::CommittedOnCheck;
    if (report.end != CascadeReport::End::Uncertain)
        set.state = committed ? KeptSet::State::Committed : KeptSet::State::RolledBack;
    // The live set's commit is recorded, flushed, by the twins' own copy
    // before their commit; the file is marked here only when the removal
    // ends (the twins ended, or a set was rolled back). The mark is not
    // flushed: losing it in a crash leaves the set "pendente", which a
    // restore settles by the database (see RestoreCopy).
    const bool last = !committed || set.suffix == kBackupTables;
    bool any = false, allRolledBack = true;
    for (const KeptSet& each : sets_) {
        any = any || anyRow(each);
        allRolledBack = allRolledBack && each.state == KeptSet::State::RolledBack;
    }
    if (!last || !(written_ || (committed && any))) return;
    // A file whose every set was rolled back keeps nothing that was removed.
    if (written_ && allRolledBack) {
        std::error_code ignoredError;
        const std::string& path = path_;
        if (std::filesystem::remove(std::filesystem::path(std::u8string(path.begin(), path.end())), ignoredError))
            written_ = false;
        return;
    }
    write(nullptr, committed);
}

bool RemovalCopy::prepare(Records& records, platform::FileFailure& failure) const {
    records = Records{};
    records.checksum = lastChecksum_;
    records.setsWritten = setsWritten_;
    records.create = !written_;
    for (const KeptSet& set : sets_) records.states.push_back(set.state);
    try {
        if (records.create)
            records.text =
                CopyHeaderRecord(header_, {std::string(kLiveTables), std::string(kBackupTables)}, records.checksum);
        // The sets not yet in the file, each in its own record, then the
        // states when they changed.
        for (; records.setsWritten < sets_.size(); ++records.setsWritten)
            records.text += CopyRecord(sets_, records.setsWritten + 1, true, records.checksum);
        if (records.text.empty() && records.states != statesWritten_)
            records.text = CopyRecord(sets_, sets_.size(), false, records.checksum);
    } catch (const std::exception& e) {
        failure.reason = e.what();
        return false;
    }
    return true;
}

bool RemovalCopy::store(const std::string& path, const Records& records, bool sync, platform::FileFailure& failure) {
    if (records.text.empty()) return true;
    return records.create ? platform::WriteFileDurably(path, records.text, false, failure, sync)
                          : platform::AppendToFile(path, records.text, sync, failure);
}

void RemovalCopy::stored(Records&& records) {
    written_ = written_ || !records.text.empty();
    setsWritten_ = records.setsWritten;
    statesWritten_ = std::move(records.states);
    lastChecksum_ = std::move(records.checksum);
}

bool RemovalCopy::write(CascadeReport* report, bool tellWhenItFails) {
    platform::FileFailure failure;
    Records records;
    if (prepare(records, failure) && store(path_, records, report != nullptr, failure)) {
        stored(std::move(records));
        return true;
    }
    return failed(failure, report, tellWhenItFails);
}

bool RemovalCopy::failed(const platform::FileFailure& failure, CascadeReport* report, bool tellWhenItFails) {
    platform::Diagnose("Copia dos registros removidos", "\"" + path_ + "\": " + failure.reason +
                                                            " (erro do sistema " +
                                                            std::to_string(failure.systemError) + ")");
    if (report) {
        report->failedAt = "copia";
        report->error = failure.reason;
        ui_.MsgBox("Não foi possível gravar a cópia dos registros removidos na pasta '" + folder_ + "': " +
                       failure.reason + ".\n\nA remoção de 'Exame" + sets_.back().suffix + "' foi desfeita.",
                   platform::vbOKOnly, kTitle);
    } else if (tellWhenItFails) {
        ui_.MsgBox("Não foi possível registrar na cópia '" + path_ + "' que a remoção foi confirmada: " +
                       failure.reason + ".",
                   platform::vbOKOnly, kTitle);
    }
    return false;
}

}  // namespace removal

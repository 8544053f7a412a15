#include "CommandLineOutput.h"

#include "ConsoleToolkit.h"
#include "ExamTables.h"
#include "RemovalAudit.h"

namespace app::cli {

void Progress::Update(std::size_t done) {
    if (!enabled_) return;
    const std::size_t permille = total_ ? done * 1000 / total_ : 1000;
    if (drawn_ && permille == permille_) return;
    permille_ = permille;
    drawn_ = true;
    constexpr std::size_t kWidth = 40;
    const std::size_t filled = permille * kWidth / 1000;
    err_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << done << '/'
         << total_ << " exames" << std::flush;
}

void Progress::Clear() {
    if (!drawn_) return;
    err_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

namespace {

constexpr std::array<const char*, 2> kSetNames = {"vivo", "_BK"};
constexpr std::array<const char*, 2> kSetKeys = {"vivo", "bk"};

long long rowsOf(const removal::CascadeReport& set) {
    long long total = 0;
    for (const auto& table : set.removed) total += table.rows > 0 ? table.rows : 0;
    return total;
}

// Pads text to width characters (UTF-8 aware), on the left or the right.
std::string pad(const std::string& text, std::size_t width, bool right) {
    std::size_t characters = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    const std::string fill(characters < width ? width - characters : 0, ' ');
    return right ? fill + text : text + fill;
}

// The dump of value as it reads nested depth levels deep in the document. A
// dumped string holds no raw line end, so every line end starts a line.
std::string dumpedAt(const nlohmann::ordered_json& value, std::size_t depth) {
    std::string text = value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    const std::string indent = "\n" + std::string(2 * depth, ' ');
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + indent.size()))
        text.replace(at, 1, indent);
    return text;
}

}  // namespace

void JsonWriter::begin() {
    if (begun_) return;
    begun_ = true;
    out_ << "{\n  \"modo\": " << dumpedAt(simulate_ ? "simular" : "confirmar", 1) << ",\n  \"exames\": [";
}

void JsonWriter::Add(const nlohmann::ordered_json& exam) {
    begin();
    out_ << (any_ ? ",\n    " : "\n    ") << dumpedAt(exam, 2);
    any_ = true;
}

void JsonWriter::Finish(const nlohmann::ordered_json& summary) {
    begin();
    out_ << (any_ ? "\n  ]" : "]") << ",\n  \"resumo\": " << dumpedAt(summary, 1) << "\n}\n";
}

ExamResult fromRemoval(const std::string& number, const removal::RemovalReport& report) {
    using Outcome = removal::RemovalReport::Outcome;
    ExamResult result;
    result.number = number;
    result.sets = report.sets;
    result.checkError = report.checkError;
    switch (report.outcome) {
        case Outcome::Removed:
            result.kind = Kind::Done, result.token = "removido", result.words = "removido";
            break;
        case Outcome::NotFound:
            result.kind = Kind::NotFound, result.token = "nao_encontrado", result.words = "não localizado";
            break;
        case Outcome::NotAttempted:
            result.kind = Kind::NotFound, result.token = "vazio", result.words = "número vazio";
            break;
        case Outcome::CheckFailed:
        case Outcome::Failed:
        case Outcome::Cancelled:  // the console answers OK: never
            result.kind = Kind::Failed, result.token = "falhou", result.words = "falhou";
            break;
    }
    return result;
}

ExamResult fromPreview(const std::string& number, const removal::RemovalPreview& preview) {
    using Outcome = removal::RemovalPreview::Outcome;
    ExamResult result;
    result.number = number;
    result.sets = preview.sets;
    result.checkError = preview.checkError;
    if (preview.outcome == Outcome::NotAttempted) {
        result.kind = Kind::NotFound, result.token = "vazio", result.words = "número vazio";
    } else if (preview.outcome == Outcome::WouldRemove) {
        result.kind = Kind::Done, result.token = "seria_removido", result.words = "seria removido";
    } else if (preview.outcome == Outcome::NotFound) {
        result.kind = Kind::NotFound, result.token = "nao_encontrado", result.words = "não localizado";
    } else {
        result.kind = Kind::Failed, result.token = "falhou", result.words = "falhou";
    }
    return result;
}

long long rowsRemoved(const ExamResult& result) {
    long long total = 0;
    for (const auto& set : result.sets)
        if (set.end == removal::CascadeReport::End::Committed ||
            set.end == removal::CascadeReport::End::CommittedOnCheck)
            total += rowsOf(set);
    return total;
}

void writeTable(std::ostream& out, const ExamResult& result, bool simulate) {
    using End = removal::CascadeReport::End;
    out << "Exame " << removal::LogQuoted(result.number, removal::kLoggedNumberLimit) << ": " << result.words;
    if (!result.checkError.empty())
        out << " (ao verificar se o exame existe: " << platform::ConsoleToolkit::OneLine(result.checkError)
            << ')';
    out << '\n';
    if (result.sets[0].end == End::NotRun) return;

    constexpr std::size_t kName = 33, kColumn = 9;
    out << "  " << pad("Tabela", kName, false);
    for (const char* name : kSetNames) out << pad(name, kColumn, true);
    out << '\n';
    for (std::size_t row = 0; row < removal::kCascadeStatements.size(); ++row) {
        const std::string table(removal::kCascadeStatements[row].table);
        out << "  " << pad(table, kName, false);
        for (const auto& set : result.sets) {
            std::string cell = "-";
            if (row < set.removed.size())
                cell = std::to_string(set.removed[row].rows);
            else if (row == set.removed.size() && set.failedAt == table)
                cell = "falhou";
            out << pad(cell, kColumn, true);
        }
        out << '\n';
    }
    out << "  " << pad("Total", kName, false);
    for (const auto& set : result.sets) {
        std::string cell = "-";
        if (set.end == End::Committed || set.end == End::CommittedOnCheck) cell = std::to_string(rowsOf(set));
        if (set.end == End::RolledBack) cell = simulate ? "falhou" : "desfeito";
        if (set.end == End::RolledBackOnCheck) cell = "desfeito";
        if (set.end == End::RollbackFailed || set.end == End::Uncertain) cell = "?";
        out << pad(cell, kColumn, true);
    }
    out << '\n';
    for (std::size_t s = 0; s < result.sets.size(); ++s) {
        const auto& set = result.sets[s];
        if (set.failedAt.empty()) continue;
        out << "  Falha em " << kSetNames[s];
        if (set.failedAt == "inicio")
            out << ", ao iniciar a transação";
        else if (set.failedAt == "confirmacao")
            out << ", ao confirmar a transação";
        else if (set.failedAt == "interrompido")
            out << ", interrompido";
        else if (set.failedAt == "auditoria")
            out << ", ao gravar o registro de auditoria";
        else
            out << ", tabela " << set.failedAt;
        out << ": " << platform::ConsoleToolkit::OneLine(set.error) << '\n';
        if (simulate) continue;
        if (set.end == End::RollbackFailed)
            out << "  A transação de " << kSetNames[s]
                << " não pôde ser desfeita; verifique o banco de dados.\n";
        else if (set.end == End::CommittedOnCheck)
            out << "  A resposta à confirmação se perdeu; verificado em nova conexão: " << kSetNames[s]
                << " foi removido.\n";
        else if (set.end == End::Uncertain)
            out << "  Não se sabe se " << kSetNames[s]
                << " foi removido; verifique o banco de dados antes de tentar novamente.\n";
        else
            out << "  Nada foi removido de " << kSetNames[s] << ".\n";
    }
}

nlohmann::ordered_json toJson(const ExamResult& result, bool simulate) {
    using End = removal::CascadeReport::End;
    nlohmann::ordered_json exam;
    exam["exame"] = result.number;
    exam["resultado"] = result.token;
    if (!result.checkError.empty()) exam["erro_verificacao"] = result.checkError;
    for (std::size_t s = 0; s < result.sets.size(); ++s) {
        const auto& set = result.sets[s];
        if (set.end == End::NotRun) continue;
        nlohmann::ordered_json json;
        if (simulate)
            json["estado"] = set.end == End::Committed ? "contado" : "falhou";
        else
            json["estado"] = removal::SetEndToken(set.end);
        nlohmann::ordered_json rows = nlohmann::ordered_json::object();
        for (const auto& table : set.removed) rows[std::string(table.table)] = table.rows;
        json["linhas"] = rows;
        if (!set.failedAt.empty()) json["falha"] = {{"em", set.failedAt}, {"erro", set.error}};
        exam[kSetKeys[s]] = json;
    }
    return exam;
}

void writeSummary(std::ostream& out, const Summary& summary, std::size_t exams, bool simulate) {
    auto count = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    out << (simulate ? "Resumo (simulação, nada foi removido): " : "Resumo: ")
        << count(exams, "exame", "exames") << "; "
        << (simulate ? count(summary.done, "seria removido", "seriam removidos")
                     : count(summary.done, "removido", "removidos"))
        << ", " << count(summary.notFound, "não localizado", "não localizados") << ", "
        << count(summary.failed, "com falha", "com falha");
    if (summary.notTried) out << ", " << count(summary.notTried, "não tentado", "não tentados");
    out << "; "
        << (simulate ? count(static_cast<std::size_t>(summary.rows), "linha seria removida",
                             "linhas seriam removidas")
                     : count(static_cast<std::size_t>(summary.rows), "linha removida", "linhas removidas"))
        << ".\n";
}

nlohmann::ordered_json summaryJson(const Summary& summary, std::size_t exams, bool simulate) {
    return {{"exames", exams},
            {simulate ? "seriam_removidos" : "removidos", summary.done},
            {"nao_encontrados", summary.notFound},
            {"falhas", summary.failed},
            {"nao_tentados", summary.notTried},
            {simulate ? "linhas_seriam_removidas" : "linhas_removidas", summary.rows}};
}

}  // namespace app::cli

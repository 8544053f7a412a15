#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ConsoleToolkit.h"
#include "DE.h"
#include "ExamTables.h"
#include "Module1.h"
#include "RemovalAudit.h"
#include "RemovalPreview.h"
#include "RestoreCopy.h"
#ifdef _WIN32
#include "WideText.h"
#endif
#include "frmPrincipalCore.h"

#ifndef REMOVER_VERSION
#define REMOVER_VERSION "?"
#endif

namespace app {
namespace {

const char* const kHelp =
    "Uso: remover-exame (--simular | --confirmar) [--exame NÚMERO]... [--lista ARQUIVO]...\n"
    "                   [--formato tabela|json] [--ini ARQUIVO] [--copia PASTA]\n"
    "       remover-exame (--simular | --confirmar) --restaurar ARQUIVO [--ini ARQUIVO]\n"
    "\n"
    "Sem argumentos, abre a janela. Com argumentos, trabalha sem janela, com o mesmo\n"
    "arquivo de configuração e a mesma conexão da janela.\n"
    "\n"
    "  --exame NÚMERO       exame a remover; pode se repetir. O número é usado exatamente\n"
    "                       como escrito (para um número que começa com -, use --exame=NÚMERO)\n"
    "  --lista ARQUIVO      arquivo com um número por linha; linhas em branco e linhas que\n"
    "                       começam com # são ignoradas; - lê da entrada padrão\n"
    "  --simular            não remove nada: mostra, por exame e por conjunto de tabelas\n"
    "                       (vivo e _BK), quantas linhas cada tabela perderia\n"
    "  --confirmar          remove os exames, um após o outro, sem perguntar, como a janela\n"
    "                       faz depois do OK; a falha de um exame não impede os seguintes\n"
    "  --formato FORMATO    tabela (o padrão) ou json\n"
    "  --ini ARQUIVO        arquivo de configuração a usar no lugar do Quelvomir.INI do\n"
    "                       diretório do Windows\n"
    "  --copia PASTA        guarda nessa pasta, antes de confirmar cada remoção, uma cópia\n"
    "                       das linhas removidas (como REMOVER_COPIAS no Quelvomir.INI)\n"
    "  --restaurar ARQUIVO  põe de volta as linhas guardadas nesse arquivo de cópia (com\n"
    "                       --simular, só mostra o que seria inserido); recusa um arquivo\n"
    "                       alterado, de outro banco, ou um exame que já está lá\n"
    "  --ajuda, --help      mostra esta ajuda\n"
    "  --versao, --version  mostra a versão\n"
    "\n"
    "Cada tentativa de remoção fica registrada no log do sistema (remover-exame).\n"
    "Saída: 0 tudo feito (ou, com --simular, tudo seria feito); 1 algum exame não\n"
    "localizado; 2 alguma falha.\n";

// A progress bar on the error stream, for long lists on a terminal.
class Progress {
public:
    Progress(std::ostream& err, bool enabled, std::size_t total)
        : err_(err), enabled_(enabled), total_(total) {}

    void Update(std::size_t done) {
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
    void Clear() {
        if (!drawn_) return;
        err_ << "\r\x1b[K" << std::flush;
        drawn_ = false;
    }

private:
    std::ostream& err_;
    bool enabled_;
    std::size_t total_;
    std::size_t permille_ = 0;
    bool drawn_ = false;
};

// Lists at least this long get a progress bar.
constexpr std::size_t kProgressFrom = 20;

enum class Kind { Done, NotFound, Failed, NotTried };

// One examination's result, from the removal or from the dry run.
struct ExamResult {
    std::string number;
    Kind kind = Kind::NotTried;
    std::string token;  // resultado: removido, seria_removido, nao_encontrado, vazio, falhou, nao_tentado
    std::string words;  // the same for people
    std::string checkError;
    std::array<removal::CascadeReport, 2> sets;
};

constexpr std::array<const char*, 2> kSetNames = {"vivo", "_BK"};
constexpr std::array<const char*, 2> kSetKeys = {"vivo", "bk"};

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
    if (number.empty()) {
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

long long rowsOf(const removal::CascadeReport& set) {
    long long total = 0;
    for (const auto& table : set.removed) total += table.rows > 0 ? table.rows : 0;
    return total;
}

// Rows that went (or would go): those of committed sets only.
long long rowsRemoved(const ExamResult& result) {
    long long total = 0;
    for (const auto& set : result.sets)
        if (set.end == removal::CascadeReport::End::Committed) total += rowsOf(set);
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
        if (set.end == End::Committed) cell = std::to_string(rowsOf(set));
        if (set.end == End::RolledBack) cell = simulate ? "falhou" : "desfeito";
        if (set.end == End::RollbackFailed) cell = "?";
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
        else
            out << ", tabela " << set.failedAt;
        out << ": " << platform::ConsoleToolkit::OneLine(set.error) << '\n';
        if (simulate) continue;
        if (set.end == End::RollbackFailed)
            out << "  A transação de " << kSetNames[s]
                << " não pôde ser desfeita; verifique o banco de dados.\n";
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

struct Summary {
    std::size_t done = 0, notFound = 0, failed = 0, notTried = 0;
    long long rows = 0;
};

// Opens a list for reading. Its name is UTF-8 text: on Windows it goes to
// the wide call, never through the ANSI code page.
std::FILE* openList(const std::string& name) {
#ifdef _WIN32
    return _wfopen(platform::WideFromUtf8(name).c_str(), L"rb");
#else
    return std::fopen(name.c_str(), "rb");
#endif
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads one list: a number a line, exactly as written but for the line end;
// blank lines and lines whose first non-blank character is # are skipped.
bool readList(const std::string& name, std::istream& standardInput, std::vector<std::string>& numbers,
              std::ostream& err) {
    std::istringstream file;
    std::istream* source = &standardInput;
    if (name != "-") {
        const std::unique_ptr<std::FILE, FileCloser> list(openList(name));
        if (!list) {
            err << "remover-exame: não foi possível abrir a lista '" << name << "': " << std::strerror(errno)
                << '\n';
            return false;
        }
        std::string text;
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, list.get())) > 0;)
            text.append(buffer, n);
        if (std::ferror(list.get())) {
            err << "remover-exame: não foi possível ler a lista '" << name << "'\n";
            return false;
        }
        file.str(std::move(text));
        source = &file;
    }
    bool first = true;
    for (std::string line; std::getline(*source, line); first = false) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        numbers.push_back(std::move(line));
    }
    if (source->bad()) {
        err << "remover-exame: não foi possível ler a lista '" << name << "'\n";
        return false;
    }
    return true;
}

// The option named in one of the parser's messages, or empty text.
std::string optionIn(const std::string& message) {
    std::smatch match;
    static const std::regex option("--[a-z]+");
    return std::regex_search(message, match, option) ? match.str() : std::string();
}

}  // namespace

namespace {

// Puts back what a copy file kept (or, with simular, says what it would put
// back), and leaves its record in the system log.
int runRestore(const std::string& path, bool simular, ado::Connection& connection, Console& console,
               platform::SystemLog* log) {
    const removal::RestoreReport report = removal::RestoreRemovedRows(path, connection, simular);
    using Outcome = removal::RestoreReport::Outcome;
    if (report.outcome == Outcome::Refused || report.outcome == Outcome::Failed) {
        console.err << "remover-exame: " << (report.outcome == Outcome::Refused ? "restauração recusada" : "a restauração falhou")
                    << ", " << report.reason << ".\n";
    } else {
        console.out << (simular ? "Seria restaurado" : "Restaurado") << " o exame \"" << report.numeroExame << "\":\n";
        for (const auto& set : report.sets) {
            console.out << "  Conjunto " << (set.suffix.empty() ? "vivo" : set.suffix)
                        << (set.committedInFile ? "" : " (remoção não confirmada: não é restaurado)") << '\n';
            if (!set.committedInFile) continue;
            for (const auto& [table, rows] : set.tables) console.out << "    " << table << ": " << rows << '\n';
        }
    }
    std::unique_ptr<platform::SystemLog> ownLog;
    if (!log) {
        ownLog = platform::OpenSystemLog();
        log = ownLog.get();
    }
    try {
        log->Write(report.outcome == Outcome::Restored ? platform::LogSeverity::Notice
                   : report.outcome == Outcome::Simulated ? platform::LogSeverity::Info
                                                          : platform::LogSeverity::Error,
                   removal::RestoreAuditLine(path, simular, report, platform::OperatingSystemUser(),
                                             platform::HostName(), connection.ConnectionString()));
    } catch (...) {
        // The record is lost; the restore it describes is not touched.
    }
    return report.outcome == Outcome::Refused || report.outcome == Outcome::Failed ? kExitFailure : kExitDone;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, Console console, platform::SystemLog* log) {
    std::vector<std::string> exames, listas;
    std::string formato = "tabela", ini, copia, restaurar;
    bool simular = false, confirmar = false, ajuda = false, versao = false;

    CLI::App parser("", "remover-exame");
    parser.set_help_flag();
    // The same command line on every system: "/simular" is not an option on
    // Windows either, so a value that starts with "/" stays a value.
    parser.allow_windows_style_options(false);
    parser.allow_extras();
    auto* exameOption = parser.add_option("--exame", exames)
                            ->expected(1)
                            ->allow_extra_args(false)
                            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    auto* listaOption = parser.add_option("--lista", listas)
                            ->expected(1)
                            ->allow_extra_args(false)
                            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    auto* simularFlag = parser.add_flag("--simular", simular);
    auto* confirmarFlag = parser.add_flag("--confirmar", confirmar);
    simularFlag->excludes(confirmarFlag);
    parser.add_option("--formato", formato)->expected(1);
    parser.add_option("--ini", ini)->expected(1);
    parser.add_option("--copia", copia)->expected(1);
    parser.add_option("--restaurar", restaurar)->expected(1);
    parser.add_flag("--ajuda,--help", ajuda);
    parser.add_flag("--versao,--version", versao);

    auto refuse = [&](const std::string& message) {
        console.err << "remover-exame: " << message << "\nUse --ajuda para ver as opções.\n";
        return kExitFailure;
    };
    try {
        parser.parse(argc, argv);
    } catch (const CLI::ExcludesError&) {
        return refuse("--simular e --confirmar não podem ser usados juntos.");
    } catch (const CLI::ArgumentMismatch& error) {
        const std::string option = optionIn(error.what());
        return refuse("a opção " + (option.empty() ? std::string("") : option + " ") +
                      "precisa de um valor (para um valor que começa com -, escreva " +
                      (option.empty() ? std::string("--opção") : option) + "=VALOR).");
    } catch (const CLI::ParseError& error) {
        return refuse(std::string("linha de comando inválida: ") + error.what());
    }
    if (ajuda) {
        console.out << kHelp;
        return kExitDone;
    }
    if (versao) {
        console.out << "remover-exame " << REMOVER_VERSION << '\n';
        return kExitDone;
    }
    if (!parser.remaining().empty())
        return refuse("argumento não reconhecido: " + parser.remaining().front());
    if (formato != "tabela" && formato != "json")
        return refuse("formato desconhecido: " + formato + " (use tabela ou json).");
    if (!simular && !confirmar)
        return refuse(
            "nada foi removido. Para remover sem perguntar, use --confirmar; para ver o que seria removido, "
            "use "
            "--simular.");

    if (!restaurar.empty()) {
        if (exameOption->count() > 0 || listaOption->count() > 0)
            return refuse("--restaurar não se usa com --exame ou --lista.");
        platform::ConsoleToolkit toolkit(console.err);
        frmPrincipalCore core(toolkit, log, "linha_de_comando");
        if (!ini.empty()) core.SetConfigurationFile(ini);
        if (!core.Load()) return kExitFailure;
        return runRestore(restaurar, simular, DE::Instance().Conexão_Atual(), console, log);
    }

    // The numbers in the order given, lists read in full before anything runs.
    std::vector<std::string> numbers;
    std::size_t nextExame = 0, nextLista = 0;
    for (const CLI::Option* option : parser.parse_order()) {
        if (option == exameOption && nextExame < exames.size()) numbers.push_back(exames[nextExame++]);
        if (option == listaOption && nextLista < listas.size())
            if (!readList(listas[nextLista++], console.in, numbers, console.err)) return kExitFailure;
    }
    if (exameOption->count() == 0 && listaOption->count() == 0)
        return refuse("nenhum exame informado: use --exame NÚMERO ou --lista ARQUIVO.");

    // Start-up, as the window's.
    Progress progress(console.err, console.errIsTerminal && numbers.size() >= kProgressFrom, numbers.size());
    platform::ConsoleToolkit toolkit(console.err);
    toolkit.SetBeforeWrite([&] { progress.Clear(); });
    frmPrincipalCore core(toolkit, log, "linha_de_comando");
    if (!ini.empty()) core.SetConfigurationFile(ini);
    if (!core.Load()) return kExitFailure;
    if (!copia.empty()) Module1::gRemoverCopias = copia;
    ado::Connection& connection = DE::Instance().Conexão_Atual();

    const bool json = formato == "json";
    nlohmann::ordered_json exams = nlohmann::ordered_json::array();
    Summary summary;
    bool stopped = false;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::string& number = numbers[i];
        progress.Update(i);
        ExamResult result;
        result.number = number;
        result.token = "nao_tentado";
        result.words = "não tentado";
        if (!stopped) {
            toolkit.SetPrefix("exame " + removal::LogQuoted(number, removal::kLoggedNumberLimit) + ": ");
            try {
                result = simular ? fromPreview(number, removal::PreviewRemoval(number, connection))
                                 : fromRemoval(number, core.Remover(number));
            } catch (const std::exception& error) {
                // The window would end here with the run-time error report:
                // the state of the connection is not known any more.
                progress.Clear();
                console.err << "remover-exame: erro inesperado no exame " << number << ": " << error.what()
                            << "\nOs exames seguintes não foram tentados.\n";
                result.kind = Kind::Failed, result.token = "falhou", result.words = "falhou";
                result.checkError = std::string("erro inesperado: ") + error.what();
                stopped = true;
            }
        }
        switch (result.kind) {
            case Kind::Done:
                ++summary.done;
                break;
            case Kind::NotFound:
                ++summary.notFound;
                break;
            case Kind::Failed:
                ++summary.failed;
                break;
            case Kind::NotTried:
                ++summary.notTried;
                break;
        }
        summary.rows += rowsRemoved(result);
        if (json) {
            exams.push_back(toJson(result, simular));
        } else {
            progress.Clear();
            writeTable(console.out, result, simular);
        }
    }
    progress.Update(numbers.size());
    progress.Clear();

    if (json) {
        nlohmann::ordered_json document;
        document["modo"] = simular ? "simular" : "confirmar";
        document["exames"] = std::move(exams);
        document["resumo"] = {{"exames", numbers.size()},
                              {simular ? "seriam_removidos" : "removidos", summary.done},
                              {"nao_encontrados", summary.notFound},
                              {"falhas", summary.failed},
                              {"nao_tentados", summary.notTried},
                              {simular ? "linhas_seriam_removidas" : "linhas_removidas", summary.rows}};
        console.out << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    } else {
        auto count = [](std::size_t n, const char* one, const char* many) {
            return std::to_string(n) + " " + (n == 1 ? one : many);
        };
        console.out << (simular ? "Resumo (simulação, nada foi removido): " : "Resumo: ")
                    << count(numbers.size(), "exame", "exames") << "; "
                    << (simular ? count(summary.done, "seria removido", "seriam removidos")
                                : count(summary.done, "removido", "removidos"))
                    << ", " << count(summary.notFound, "não localizado", "não localizados") << ", "
                    << count(summary.failed, "com falha", "com falha");
        if (summary.notTried) console.out << ", " << count(summary.notTried, "não tentado", "não tentados");
        console.out << "; "
                    << (simular ? count(static_cast<std::size_t>(summary.rows), "linha seria removida",
                                        "linhas seriam removidas")
                                : count(static_cast<std::size_t>(summary.rows), "linha removida",
                                        "linhas removidas"))
                    << ".\n";
    }
    console.out.flush();

    if (summary.failed || summary.notTried) return kExitFailure;
    if (summary.notFound) return kExitNotFound;
    return kExitDone;
}

}  // namespace app

#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
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
#include <string_view>
#include <vector>

#include "CommandLineOutput.h"
#include "ConsoleToolkit.h"
#include "DE.h"
#include "ExamTables.h"
#include "Module1.h"
#include "NumberList.h"
#include "RemovalAudit.h"
#include "RemovalPreview.h"
#include "RestoreCopy.h"
#include "StopRequest.h"
#include "frmPrincipalCore.h"

#ifndef REMOVER_VERSION
#define REMOVER_VERSION "?"
#endif

namespace app {
namespace {

using namespace cli;

const char* const kHelp =
    "Uso: remover-exame (--simular | --confirmar) [--exame NÚMERO]... [--lista ARQUIVO]...\n"
    "                   [--formato tabela|json] [--ini ARQUIVO] [--copia PASTA]\n"
    "                   [-- NÚMERO...]\n"
    "       remover-exame (--simular | --confirmar) --restaurar ARQUIVO [--ini ARQUIVO]\n"
    "\n"
    "Sem argumentos, abre a janela. Com argumentos, trabalha sem janela, com o mesmo\n"
    "arquivo de configuração e a mesma conexão da janela.\n"
    "\n"
    "  --exame NÚMERO       exame a remover; pode se repetir. O número é usado exatamente\n"
    "                       como escrito. Um valor que começa com - se escreve com =\n"
    "                       (--exame=-5): \"--exame -5\" e \"--exame --simular\" são recusados\n"
    "  --lista ARQUIVO      arquivo com um número por linha; linhas em branco e linhas que\n"
    "                       começam com # são ignoradas; - lê da entrada padrão. A linha\n"
    "                       termina em CR LF, LF ou CR. O texto é UTF-8; se não for UTF-8\n"
    "                       válido, Windows-1252 (Bloco de Notas, PowerShell); UTF-16 com\n"
    "                       marca de ordem de bytes também serve. No máximo 1000000 linhas\n"
    "                       de 4096 bytes. Só um arquivo comum: um diretório, um dispositivo\n"
    "                       ou um pipe são recusados (use - para a entrada padrão)\n"
    "  --simular            não remove nada: mostra, por exame e por conjunto de tabelas\n"
    "                       (vivo e _BK), quantas linhas cada tabela perderia\n"
    "  --confirmar          remove os exames, um após o outro, sem perguntar, como a janela\n"
    "                       faz depois do OK; a falha de um exame não impede os seguintes\n"
    "  --formato FORMATO    tabela (o padrão) ou json; uma vez só\n"
    "  --ini ARQUIVO        arquivo de configuração a usar no lugar do Quelvomir.INI do\n"
    "                       diretório do Windows; uma vez só\n"
    "  --auditoria-estrita  não confirma nenhuma remoção cujo registro não possa ser gravado\n"
    "                       no log do sistema (como AUDITORIA_ESTRITA=1 no Quelvomir.INI)\n"
    "  --copia PASTA        guarda nessa pasta, antes de confirmar cada remoção, uma cópia\n"
    "                       das linhas removidas (como REMOVER_COPIAS no Quelvomir.INI)\n"
    "  --restaurar ARQUIVO  põe de volta as linhas guardadas nesse arquivo de cópia (com\n"
    "                       --simular, só mostra o que seria inserido); recusa um arquivo\n"
    "                       alterado, de outro banco, ou um exame que já está lá\n"
    "  --ajuda, --help      mostra esta ajuda\n"
    "  --versao, --version  mostra a versão\n"
    "  --                   fim das opções: cada argumento seguinte é um número, como\n"
    "                       --exame=ARGUMENTO, depois dos números das opções\n"
    "\n"
    "Cada tentativa de remoção fica registrada no log do sistema (remover-exame).\n"
    "Ctrl+C (SIGINT) ou SIGTERM encerra depois do comando em curso, desfazendo o conjunto\n"
    "de tabelas em andamento; os exames seguintes não são tentados.\n"
    "Saída: 0 tudo feito (ou, com --simular, tudo seria feito); 1 algum exame não\n"
    "localizado; 2 alguma falha, uma interrupção ou uma saída que não pôde ser escrita.\n";

// The options that take a value. A value that starts with - is written
// --opção=VALOR, so that a forgotten value never turns the next option into
// a number ("--exame --simular"); "--lista -" (standard input) is the one
// exception. Returns the first option whose value is missing, or empty text.
std::string optionWithoutValue(int argc, const char* const* argv) {
    static constexpr std::array<std::string_view, 4> kTakeValues = {"--exame", "--lista", "--formato",
                                                                    "--ini"};
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (std::find(kTakeValues.begin(), kTakeValues.end(), argument) == kTakeValues.end()) continue;
        if (i + 1 == argc) return std::string(argument);
        const std::string_view value = argv[++i];
        if (!value.empty() && value[0] == '-' && !(argument == "--lista" && value == "-"))
            return std::string(argument);
    }
    return {};
}

std::string needsValue(const std::string& option) {
    return "a opção " + (option.empty() ? std::string("") : option + " ") +
           "precisa de um valor (para um valor que começa com -, escreva " +
           (option.empty() ? std::string("--opção") : option) + "=VALOR).";
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
        if (report.unfinished)
            console.out << "  (o arquivo termina num registro incompleto, deixado de lado: o programa parou ao "
                           "gravá-lo, antes da confirmação que dependia dele)\n";
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
                   platform::LogEvent::Restored,
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
    bool simular = false, confirmar = false, ajuda = false, versao = false, auditoriaEstrita = false;

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
    auto* formatoOption = parser.add_option("--formato", formato)->expected(1);
    auto* iniOption = parser.add_option("--ini", ini)->expected(1);
    auto* copiaOption = parser.add_option("--copia", copia)->expected(1);
    auto* restaurarOption = parser.add_option("--restaurar", restaurar)->expected(1);
    for (CLI::Option* option : {formatoOption, iniOption, copiaOption, restaurarOption})
        option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    parser.add_flag("--auditoria-estrita", auditoriaEstrita);
    parser.add_flag("--ajuda,--help", ajuda);
    parser.add_flag("--versao,--version", versao);

    auto refuse = [&](const std::string& message) {
        console.err << "remover-exame: " << message << "\nUse --ajuda para ver as opções.\n";
        return kExitFailure;
    };
    if (const std::string option = optionWithoutValue(argc, argv); !option.empty())
        return refuse(needsValue(option));
    // "--" ends the options; every argument after it is a number.
    const int optionsEnd = static_cast<int>(
        std::find_if(argv + 1, argv + argc, [](const char* a) { return std::strcmp(a, "--") == 0; }) - argv);
    try {
        parser.parse(optionsEnd, argv);
    } catch (const CLI::ExcludesError&) {
        return refuse("--simular e --confirmar não podem ser usados juntos.");
    } catch (const CLI::ArgumentMismatch& error) {
        return refuse(needsValue(optionIn(error.what())));
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
    for (const CLI::Option* option : {formatoOption, iniOption, copiaOption, restaurarOption})
        if (option->count() > 1)
            return refuse("a opção " + option->get_name() + " foi dada mais de uma vez.");
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
    NumberQueue numbers;
    std::size_t nextExame = 0, nextLista = 0;
    for (const CLI::Option* option : parser.parse_order()) {
        if (option == exameOption && nextExame < exames.size()) numbers.AddNumber(exames[nextExame++]);
        if (option == listaOption && nextLista < listas.size())
            if (!numbers.AddList(listas[nextLista++], console.in, console.err)) return kExitFailure;
    }
    for (int i = optionsEnd + 1; i < argc; ++i) numbers.AddNumber(argv[i]);
    if (exameOption->count() == 0 && listaOption->count() == 0 && optionsEnd + 1 >= argc)
        return refuse("nenhum exame informado: use --exame NÚMERO ou --lista ARQUIVO.");

    // From here on Ctrl+C and SIGTERM are seen between statements, and output
    // that cannot be written is an error rather than the end of the program.
    const platform::StopRequests stopRequests;

    // Start-up, as the window's.
    Progress progress(console.err, console.errIsTerminal && numbers.size() >= kProgressFrom, numbers.size());
    platform::ConsoleToolkit toolkit(console.err);
    toolkit.SetBeforeWrite([&] { progress.Clear(); });
    frmPrincipalCore core(toolkit, log, "linha_de_comando");
    if (!ini.empty()) core.SetConfigurationFile(ini);
    if (auditoriaEstrita) core.SetStrictAudit();
    if (!core.Load()) return kExitFailure;
    if (!copia.empty()) Module1::gRemoverCopias = copia;
    ado::Connection& connection = DE::Instance().Conexão_Atual();

    const bool json = formato == "json";
    JsonWriter jsonOut(console.out, simular);
    Summary summary;
    bool stopped = false;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        std::string number;
        if (!numbers.Next(number) && !stopped) {
            progress.Clear();
            console.err << "remover-exame: não foi possível reler as listas no arquivo temporário.\n"
                           "Os exames seguintes não foram tentados.\n";
            stopped = true;
        }
        progress.Update(i);
        ExamResult result;
        result.number = number;
        result.token = "nao_tentado";
        result.words = "não tentado";
        if (!stopped && platform::StopRequested()) {
            progress.Clear();
            console.err << "remover-exame: interrompido (" << platform::StopRequestName()
                        << "); os exames seguintes não foram tentados.\n";
            stopped = true;
        }
        if (!stopped) {
            toolkit.SetPrefix("exame " + removal::LogQuoted(number, removal::kLoggedNumberLimit) + ": ");
            try {
                result = simular ? fromPreview(number, removal::PreviewRemoval(number, connection, toolkit))
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
            jsonOut.Add(toJson(result, simular));
        } else {
            progress.Clear();
            writeTable(console.out, result, simular);
        }
        console.out.flush();
        // A reader that has gone (a closed pipe) or a full disk: the
        // examination under way has ended and is on record, but no later one
        // is started whose outcome nobody could read.
        if (!stopped && (console.out.fail() || console.err.fail())) {
            console.err << "remover-exame: não foi possível escrever a saída; os exames seguintes não foram "
                           "tentados.\n";
            stopped = true;
        }
    }
    progress.Update(numbers.size());
    progress.Clear();

    if (json) {
        jsonOut.Finish({{"exames", numbers.size()},
                        {simular ? "seriam_removidos" : "removidos", summary.done},
                        {"nao_encontrados", summary.notFound},
                        {"falhas", summary.failed},
                        {"nao_tentados", summary.notTried},
                        {simular ? "linhas_seriam_removidas" : "linhas_removidas", summary.rows}});
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

    if (summary.failed || summary.notTried || console.out.fail() || console.err.fail()) return kExitFailure;
    if (summary.notFound) return kExitNotFound;
    return kExitDone;
}

}  // namespace app

#include "CommandLineOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cstring>
#include <regex>
#include <string_view>

#include "CommandLine.h"

#ifndef REMOVER_VERSION
#define REMOVER_VERSION "?"
#endif

namespace app::cli {
namespace {

const char* const kHelp =
    "Uso: remover-exame (--simular | --confirmar) [--exame NÚMERO]... [--lista ARQUIVO]...\n"
    "                   [--formato tabela|json] [--ini ARQUIVO] [--copia PASTA] [--lote N]\n"
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
    "  --lote N             com --confirmar, confirma os exames em grupos de N (de 1 a 100000;\n"
    "                       o padrão é 1, cada exame confirmado sozinho): os conjuntos vivos\n"
    "                       do grupo numa transação, depois os _BK em outra, cada exame no\n"
    "                       seu ponto de salvamento; o exame que falha é desfeito sozinho e\n"
    "                       o grupo segue. Um exame só está removido depois da confirmação\n"
    "                       do seu grupo. Recusado acima de 1 num banco sem pontos de\n"
    "                       salvamento (Access); uma vez só\n"
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
    static constexpr std::array<std::string_view, 5> kTakeValues = {"--exame", "--lista", "--formato",
                                                                    "--ini", "--lote"};
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

int Refuse(std::ostream& err, const std::string& message) {
    err << "remover-exame: " << message << "\nUse --ajuda para ver as opções.\n";
    return kExitFailure;
}

std::optional<int> ParseOptions(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                                Options& options) {
    std::vector<std::string> exames, listas;
    bool ajuda = false, versao = false;

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
    auto* simularFlag = parser.add_flag("--simular", options.simular);
    auto* confirmarFlag = parser.add_flag("--confirmar", options.confirmar);
    simularFlag->excludes(confirmarFlag);
    auto* formatoOption = parser.add_option("--formato", options.formato)->expected(1);
    auto* iniOption = parser.add_option("--ini", options.ini)->expected(1);
    auto* copiaOption = parser.add_option("--copia", options.copia)->expected(1);
    auto* restaurarOption = parser.add_option("--restaurar", options.restaurar)->expected(1);
    std::string lote;
    auto* loteOption = parser.add_option("--lote", lote)->expected(1);
    for (CLI::Option* option : {formatoOption, iniOption, copiaOption, restaurarOption, loteOption})
        option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    parser.add_flag("--auditoria-estrita", options.auditoriaEstrita);
    parser.add_flag("--ajuda,--help", ajuda);
    parser.add_flag("--versao,--version", versao);

    auto refuse = [&](const std::string& message) { return Refuse(err, message); };
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
        out << kHelp;
        return kExitDone;
    }
    if (versao) {
        out << "remover-exame " << REMOVER_VERSION << '\n';
        return kExitDone;
    }
    if (!parser.remaining().empty())
        return refuse("argumento não reconhecido: " + parser.remaining().front());
    for (const CLI::Option* option : {formatoOption, iniOption, copiaOption, restaurarOption, loteOption})
        if (option->count() > 1)
            return refuse("a opção " + option->get_name() + " foi dada mais de uma vez.");
    if (options.formato != "tabela" && options.formato != "json")
        return refuse("formato desconhecido: " + options.formato + " (use tabela ou json).");
    if (loteOption->count() > 0) {
        const bool digits =
            !lote.empty() && lote.size() <= 6 &&
            std::all_of(lote.begin(), lote.end(), [](char c) { return c >= '0' && c <= '9'; });
        options.lote = digits ? std::stoul(lote) : 0;
        if (options.lote < 1 || options.lote > kMaxGroup)
            return refuse("tamanho de lote inválido: " + lote + " (use um número de 1 a 100000).");
    }
    if (!options.simular && !options.confirmar)
        return refuse(
            "nada foi removido. Para remover sem perguntar, use --confirmar; para ver o que seria removido, "
            "use "
            "--simular.");

    if (!options.restaurar.empty()) {
        if (exameOption->count() > 0 || listaOption->count() > 0)
            return refuse("--restaurar não se usa com --exame ou --lista.");
        return std::nullopt;
    }

    // The numbers in the order given.
    std::size_t nextExame = 0, nextLista = 0;
    for (const CLI::Option* option : parser.parse_order()) {
        if (option == exameOption && nextExame < exames.size())
            options.sources.push_back({false, exames[nextExame++]});
        if (option == listaOption && nextLista < listas.size())
            options.sources.push_back({true, listas[nextLista++]});
    }
    for (int i = optionsEnd + 1; i < argc; ++i) options.sources.push_back({false, argv[i]});
    if (options.sources.empty())
        return refuse("nenhum exame informado: use --exame NÚMERO ou --lista ARQUIVO.");
    return std::nullopt;
}

}  // namespace app::cli

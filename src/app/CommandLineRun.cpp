#include "CommandLine.h"

#include <memory>
#include <string>
#include <vector>

#include "CommandLineOptions.h"
#include "CommandLineOutput.h"
#include "ConsoleToolkit.h"
#include "DE.h"
#include "Module1.h"
#include "NumberList.h"
#include "RemovalAudit.h"
#include "RemovalPreview.h"
#include "RestoreCopy.h"
#include "StopRequest.h"
#include "frmPrincipalCore.h"

namespace app {

using namespace cli;

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
    Options options;
    if (const std::optional<int> answered = ParseOptions(argc, argv, console.out, console.err, options))
        return *answered;
    const bool simular = options.simular;

    if (!options.restaurar.empty()) {
        platform::ConsoleToolkit toolkit(console.err);
        frmPrincipalCore core(toolkit, log, "linha_de_comando");
        if (!options.ini.empty()) core.SetConfigurationFile(options.ini);
        if (!core.Load()) return kExitFailure;
        return runRestore(options.restaurar, simular, DE::Instance().Conexão_Atual(), console, log);
    }

    // The numbers in the order given, lists read in full before anything runs.
    NumberQueue numbers;
    for (const Options::Source& source : options.sources) {
        if (!source.list)
            numbers.AddNumber(source.value);
        else if (!numbers.AddList(source.value, console.in, console.err))
            return kExitFailure;
    }

    // From here on Ctrl+C and SIGTERM are seen between statements, and output
    // that cannot be written is an error rather than the end of the program.
    const platform::StopRequests stopRequests;

    // Start-up, as the window's.
    Progress progress(console.err, console.errIsTerminal && numbers.size() >= kProgressFrom, numbers.size());
    platform::ConsoleToolkit toolkit(console.err);
    toolkit.SetBeforeWrite([&] { progress.Clear(); });
    frmPrincipalCore core(toolkit, log, "linha_de_comando");
    if (!options.ini.empty()) core.SetConfigurationFile(options.ini);
    if (options.auditoriaEstrita) core.SetStrictAudit();
    if (!core.Load()) return kExitFailure;
    if (!options.copia.empty()) Module1::gRemoverCopias = options.copia;
    ado::Connection& connection = DE::Instance().Conexão_Atual();

    // Examinations committed together; a dry run commits nothing.
    const std::size_t groupSize = simular ? 1 : options.lote;
    ado::SavepointSyntax savepoints = ado::SavepointSyntax::None;
    if (groupSize > 1) {
        try {
            savepoints = connection.Savepoints();
        } catch (const std::exception&) {
            // Told below, as a database without savepoints.
        }
        if (savepoints == ado::SavepointSyntax::None)
            return Refuse(
                console.err,
                "--lote acima de 1 precisa de pontos de salvamento (savepoints), que o banco de dados "
                "desta conexão não tem: um exame que falhasse desfaria o grupo inteiro. Use --lote 1. "
                "Nada foi removido.");
    }

    const bool json = options.formato == "json";
    JsonWriter jsonOut(console.out, simular);
    Summary summary;
    bool stopped = false;
    auto notTried = [](const std::string& number) {
        ExamResult result;
        result.number = number;
        result.token = "nao_tentado";
        result.words = "não tentado";
        return result;
    };
    auto interrupted = [&] {
        progress.Clear();
        console.err << "remover-exame: interrompido (" << platform::StopRequestName()
                    << "); os exames seguintes não foram tentados.\n";
        stopped = true;
    };
    auto unexpected = [&](const std::string& where, const std::exception& error, ExamResult& result) {
        // The window would end here with the run-time error report: the
        // state of the connection is not known any more.
        progress.Clear();
        console.err << "remover-exame: erro inesperado no " << where << ": " << error.what()
                    << "\nOs exames seguintes não foram tentados.\n";
        result.kind = Kind::Failed, result.token = "falhou", result.words = "falhou";
        result.checkError = std::string("erro inesperado: ") + error.what();
        stopped = true;
    };
    auto focusOn = [&](const std::string& number) {
        toolkit.SetPrefix("exame " + removal::LogQuoted(number, removal::kLoggedNumberLimit) + ": ");
    };
    auto record = [&](const ExamResult& result) {
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
    };

    for (std::size_t i = 0; i < numbers.size();) {
        // The next group, up to the first number that could not be read again.
        std::vector<std::string> group;
        std::size_t runnable = 0;
        while (group.size() < groupSize && i + group.size() < numbers.size()) {
            std::string number;
            if (!numbers.Next(number) && !stopped) {
                progress.Clear();
                console.err << "remover-exame: não foi possível reler as listas no arquivo temporário.\n"
                               "Os exames seguintes não foram tentados.\n";
                stopped = true;
            }
            if (!stopped) ++runnable;
            group.push_back(number);
        }
        progress.Update(i);
        if (runnable && !stopped && platform::StopRequested()) interrupted();
        if (stopped && runnable == group.size()) runnable = 0;

        std::vector<ExamResult> results;
        for (const std::string& number : group) results.push_back(notTried(number));
        if (runnable && groupSize == 1) {
            const std::string& number = group.front();
            focusOn(number);
            try {
                results.front() =
                    simular ? fromPreview(number, removal::PreviewRemoval(number, connection, toolkit))
                            : fromRemoval(number, core.Remover(number));
            } catch (const std::exception& error) {
                unexpected("exame " + number, error, results.front());
            }
        } else if (runnable) {
            std::vector<removal::GroupMember> members(runnable);
            for (std::size_t k = 0; k < runnable; ++k) members[k].numeroExame = group[k];
            try {
                core.RemoverGrupo(members, savepoints,
                                  [&](std::size_t k) { focusOn(members[k].numeroExame); });
                for (std::size_t k = 0; k < runnable; ++k)
                    if (members[k].tried) results[k] = fromRemoval(group[k], members[k].report);
                if (!stopped && !members.back().tried) interrupted();
            } catch (const std::exception& error) {
                for (std::size_t k = 0; k < runnable; ++k) {
                    if (!members[k].tried) continue;
                    results[k] = fromRemoval(group[k], members[k].report);
                    if (results[k].kind != Kind::Failed) continue;
                    // What the cascades report stands; the error is the group's.
                    results[k].checkError = std::string("erro inesperado: ") + error.what();
                }
                ExamResult ignored;
                unexpected("lote que começa no exame " + group.front(), error, ignored);
            }
        }
        for (const ExamResult& result : results) record(result);
        i += group.size();
    }
    progress.Update(numbers.size());
    progress.Clear();

    if (json)
        jsonOut.Finish(summaryJson(summary, numbers.size(), simular));
    else
        writeSummary(console.out, summary, numbers.size(), simular);
    console.out.flush();

    if (summary.failed || summary.notTried || console.out.fail() || console.err.fail()) return kExitFailure;
    if (summary.notFound) return kExitNotFound;
    return kExitDone;
}

}  // namespace app

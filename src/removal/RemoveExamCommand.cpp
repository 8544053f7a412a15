#include "RemoveExamCommand.h"

#include <chrono>
#include <memory>
#include <optional>

#include "CascadeDelete.h"
#include "ErrorPrompt.h"
#include "ExamExistence.h"
#include "ExamTables.h"
#include "RemovedRowCopy.h"
#include "SystemLog.h"
#include "ado/Recordset.h"
#include "clsADO.h"

namespace removal {
namespace {

const std::string kTitle = "Atenção!";
// The existence-check error is titled with a lower-case a, as the operators
// have always seen it.
const std::string kExistenceErrorTitle = "atenção!";

// Looks for the examination in Exame, then in Exame_BK. Returns false after
// telling the operator when a query fails.
bool examinationExists(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui,
                       bool& found, RemovalReport& report) {
    clsADO ado;
    const std::optional<bool> exists = FindExamination(ado, connection, numeroExame);
    if (!exists) {
        report.outcome = RemovalReport::Outcome::CheckFailed;
        report.checkError = RecordedError(ado);
        ui.MsgBox("Ao verificar se o exame existe ocorreu o seguinte erro:" + report.checkError,
                  platform::vbOKOnly, kExistenceErrorTitle);
        return false;
    }
    found = *exists;
    return true;
}

}  // namespace

void cmdAtualizar_Click(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui,
                        RemovalReport* report, CascadeObserver* observer, const std::string& copyFolder) {
    RemovalReport unused;
    RemovalReport& account = report ? *report : unused;
    account = RemovalReport{};
    using Outcome = RemovalReport::Outcome;

    if (numeroExame.empty()) {
        ui.MsgBox("Digite o número de exame que deseja remover.", platform::vbOKOnly, kTitle);
        return;
    }

    bool found = false;
    // Until the check has answered, an early end counts as a failed check.
    account.outcome = Outcome::CheckFailed;
    if (!examinationExists(numeroExame, connection, ui, found, account)) return;
    if (!found) {
        account.outcome = Outcome::NotFound;
        ui.MsgBox("Exame não localizado.", platform::vbOKOnly, kTitle);
        return;
    }

    account.outcome = Outcome::Cancelled;
    if (ui.MsgBox("Tem certeza que deseja remover o exame '" + numeroExame + "'", platform::vbOKCancel,
                  kTitle) == platform::vbCancel)
        return;

    account.outcome = Outcome::Failed;
    ui.SetMousePointer(platform::vbHourglass);
    std::unique_ptr<RemovalCopy> copy;
    if (!copyFolder.empty())
        copy = std::make_unique<RemovalCopy>(
            copyFolder,
            CopyHeader{numeroExame, std::chrono::system_clock::now(), platform::OperatingSystemUser(),
                       platform::HostName(), connection.ConnectionString()},
            ui);
    // The live tables first, committed on their own, then the twins: a removal
    // is complete only when both sets are free of the examination.
    std::size_t set = 0;
    for (std::string_view suffix : {kLiveTables, kBackupTables}) {
        const bool committed = Deleta_Exame_em_Cascata(connection, numeroExame, std::string(suffix), ui,
                                                       &account.sets[set++], observer, copy.get());
        if (copy) {
            copy->SetEnded(account.sets[set - 1]);
            account.copyFile = copy->Path();
        }
        if (!committed) {
            ui.SetMousePointer(platform::vbDefault);
            return;
        }
    }
    account.outcome = Outcome::Removed;
    ui.SetMousePointer(platform::vbDefault);
    ui.MsgBox("Exame removido com sucesso.", platform::vbOKOnly, kTitle);
}

}  // namespace removal

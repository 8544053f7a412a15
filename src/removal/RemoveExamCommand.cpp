#include "RemoveExamCommand.h"

#include <chrono>
#include <memory>
#include <optional>

#include "CascadeDelete.h"
#include "CommitCheck.h"
#include "ErrorPrompt.h"
#include "ExamExistence.h"
#include "ExamTables.h"
#include "RemovedRowCopy.h"
#include "StopRequest.h"
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

// The command's steps before any set is touched: the empty number, the
// existence check and the question. True when the removal goes on;
// otherwise the operator has been told and account.outcome says why.
bool confirmRemoval(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui,
                    RemovalReport& account) {
    using Outcome = RemovalReport::Outcome;
    if (numeroExame.empty()) {
        ui.MsgBox("Digite o número de exame que deseja remover.", platform::vbOKOnly, kTitle);
        return false;
    }

    bool found = false;
    // Until the check has answered, an early end counts as a failed check.
    account.outcome = Outcome::CheckFailed;
    if (!examinationExists(numeroExame, connection, ui, found, account)) return false;
    if (!found) {
        account.outcome = Outcome::NotFound;
        ui.MsgBox("Exame não localizado.", platform::vbOKOnly, kTitle);
        return false;
    }

    account.outcome = Outcome::Cancelled;
    if (ui.MsgBox("Tem certeza que deseja remover o exame '" + numeroExame + "'", platform::vbOKCancel,
                  kTitle) == platform::vbCancel)
        return false;

    return true;
}

}  // namespace

void cmdAtualizar_Click(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui,
                        RemovalReport* report, CascadeObserver* observer, const std::string& copyFolder) {
    RemovalReport unused;
    RemovalReport& account = report ? *report : unused;
    account = RemovalReport{};
    using Outcome = RemovalReport::Outcome;

    if (!confirmRemoval(numeroExame, connection, ui, account)) return;

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

namespace {

// One of the group's two transactions: the set suffix of every member in
// going, each in its own savepoint, then the commit. Returns the members
// whose set was committed.
class GroupSet {
public:
    GroupSet(std::vector<GroupMember>& members, std::vector<std::unique_ptr<RemovalCopy>>& copies,
             ado::Connection& connection, ado::SavepointSyntax syntax, platform::Toolkit& ui,
             const std::function<void(std::size_t)>& focus, std::size_t set)
        : members_(members),
          copies_(copies),
          connection_(connection),
          syntax_(syntax),
          ui_(ui),
          focus_(focus),
          set_(set),
          suffix_(set ? kBackupTables : kLiveTables),
          root_("Exame" + suffix_) {}

    std::vector<std::size_t> Run(const std::vector<std::size_t>& going) {
        if (going.empty()) return {};
        clsADO ado;
        if (!ado.TransaçãoIniciar(connection_)) {
            const std::string error = RecordedError(ado);
            for (std::size_t i : going) {
                CascadeReport& report = reportOf(i);
                report.end = CascadeReport::End::RolledBack;
                report.failedAt = "inicio";
                report.error = error;
                focus_(i);
                ShowCascadeFailure(ui_, "Ao iniciar a transação para remover de '" + root_, error);
                ended(i, false);
            }
            return {};
        }
        std::vector<std::size_t> pending;
        try {
            for (std::size_t k = 0; k < going.size(); ++k) {
                const std::size_t i = going[k];
                focus_(i);
                const SavepointStatements savepoint =
                    SavepointStatementsFor(syntax_, "exame_" + std::to_string(k + 1));
                if (Deleta_Exame_em_Savepoint(connection_, members_[i].numeroExame, suffix_, savepoint, ui_,
                                              reportOf(i), members_[i].observer, copies_[i].get())) {
                    pending.push_back(i);
                    continue;
                }
                const CascadeReport& report = reportOf(i);
                const bool interrupted = report.failedAt == "interrompido";
                const bool alone = report.end == CascadeReport::End::RolledBack && !interrupted;
                const std::string error = report.error;
                ended(i, false);
                if (alone) continue;
                // Asked to stop, the set under way is rolled back, here the
                // group's: nothing of it is committed and the rest is not run.
                // An examination that could not be undone alone takes the whole
                // group with it too.
                const std::vector<std::size_t> rest(going.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                                                    going.end());
                if (interrupted)
                    abandon(pending, rest, "interrompido", error, false);
                else
                    abandon(pending, rest, "confirmacao",
                            "o exame '" + members_[i].numeroExame +
                                "' não pôde ser desfeito sozinho, e o lote inteiro foi desfeito",
                            true);
                return {};
            }
            return commit(pending);
        } catch (...) {
            // As a cascade of its own tells its observer on every way out:
            // whoever heard that a commit was coming hears how it ended.
            for (std::size_t i : pending)
                if (members_[i].observer && reportOf(i).end == CascadeReport::End::NotRun)
                    members_[i].observer->AfterCommit(suffix_, reportOf(i));
            throw;
        }
    }

private:
    CascadeReport& reportOf(std::size_t i) { return members_[i].report.sets[set_]; }

    // The set of members[i] has ended as its report says; observerTold: its
    // observer heard that a commit was coming.
    void ended(std::size_t i, bool observerTold) {
        if (observerTold && members_[i].observer) members_[i].observer->AfterCommit(suffix_, reportOf(i));
        if (copies_[i]) {
            copies_[i]->SetEnded(reportOf(i));
            members_[i].report.copyFile = copies_[i]->Path();
        }
    }

    // Rolls the group's transaction back: every examination pending in it,
    // and those not yet run, end with failedAt and error; tell: the operator
    // is told each, as a failed commit.
    void abandon(const std::vector<std::size_t>& pending, const std::vector<std::size_t>& notRun,
                 const std::string& failedAt, const std::string& error, bool tell) {
        clsADO ado;
        const bool undone = !connection_.InTransaction() || ado.TransaçãoCancelar(connection_);
        for (const auto* group : {&pending, &notRun}) {
            for (std::size_t i : *group) {
                CascadeReport& report = reportOf(i);
                if (group == &notRun) report = CascadeReport{};
                report.failedAt = failedAt;
                report.error = error;
                report.end = undone ? CascadeReport::End::RolledBack : CascadeReport::End::RollbackFailed;
                focus_(i);
                if (tell) ShowCascadeFailure(ui_, "Ao confirmar a remoção em '" + root_, error);
                ended(i, group == &pending);
            }
        }
    }

    std::vector<std::size_t> commit(const std::vector<std::size_t>& pending) {
        clsADO ado;
        if (ado.TransaçãoFinalizar(connection_)) {
            for (std::size_t i : pending) {
                reportOf(i).end = CascadeReport::End::Committed;
                ended(i, true);
            }
            return pending;
        }
        const std::string error = RecordedError(ado);
        // A reply that was lost may hide a commit carried out: an examination
        // the group removed from Exame says which, for the whole group.
        const bool replyLost = connection_.CommitOutcomeUnknown();
        CommitFound found = CommitFound::NotCommitted;
        if (replyLost && !pending.empty()) {
            std::size_t witness = pending.front();
            for (std::size_t i : pending)
                if (!reportOf(i).removed.empty() && reportOf(i).removed.back().rows > 0) {
                    witness = i;
                    break;
                }
            found = FindCommitOutcome(connection_, members_[witness].numeroExame, suffix_);
        }
        bool undone = true;
        if (found == CommitFound::NotCommitted && connection_.InTransaction())
            undone = ado.TransaçãoCancelar(connection_);
        std::vector<std::size_t> committed;
        for (std::size_t i : pending) {
            CascadeReport& report = reportOf(i);
            report.failedAt = "confirmacao";
            report.error = error;
            focus_(i);
            if (found == CommitFound::Committed) {
                report.end = CascadeReport::End::CommittedOnCheck;
                committed.push_back(i);
            } else if (found == CommitFound::Unknown) {
                report.end = CascadeReport::End::Uncertain;
                ui_.MsgBox("Não se sabe se o exame foi removido de '" + root_ +
                               "': a resposta do banco de dados à confirmação não chegou e não foi possível "
                               "verificar.\n\nVerifique no banco de dados se o exame '" +
                               members_[i].numeroExame + "' ainda está em '" + root_ +
                               "' antes de tentar novamente.\n\n" + error,
                           platform::vbOKOnly, kTitle);
            } else {
                ShowCascadeFailure(ui_, "Ao confirmar a remoção em '" + root_, error);
                report.end = !undone     ? CascadeReport::End::RollbackFailed
                             : replyLost ? CascadeReport::End::RolledBackOnCheck
                                         : CascadeReport::End::RolledBack;
            }
            ended(i, true);
        }
        return committed;
    }

    std::vector<GroupMember>& members_;
    std::vector<std::unique_ptr<RemovalCopy>>& copies_;
    ado::Connection& connection_;
    ado::SavepointSyntax syntax_;
    platform::Toolkit& ui_;
    const std::function<void(std::size_t)>& focus_;
    std::size_t set_;
    std::string suffix_;
    std::string root_;
};

}  // namespace

void RemoveGroup(std::vector<GroupMember>& members, ado::Connection& connection, ado::SavepointSyntax syntax,
                 platform::Toolkit& ui, const std::function<void(std::size_t)>& focus,
                 const std::string& copyFolder) {
    using Outcome = RemovalReport::Outcome;
    std::vector<std::unique_ptr<RemovalCopy>> copies(members.size());
    std::vector<std::size_t> going;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (platform::StopRequested()) break;
        GroupMember& member = members[i];
        member.tried = true;
        member.report = RemovalReport{};
        focus(i);
        if (!confirmRemoval(member.numeroExame, connection, ui, member.report)) continue;
        member.report.outcome = Outcome::Failed;
        if (!copyFolder.empty())
            copies[i] =
                std::make_unique<RemovalCopy>(copyFolder,
                                              CopyHeader{member.numeroExame, std::chrono::system_clock::now(),
                                                         platform::OperatingSystemUser(),
                                                         platform::HostName(), connection.ConnectionString()},
                                              ui);
        going.push_back(i);
    }
    if (going.empty()) return;

    ui.SetMousePointer(platform::vbHourglass);
    // The live sets first, committed together, then the twins of the
    // examinations whose live set was committed.
    try {
        for (std::size_t set = 0; set < 2; ++set)
            going = GroupSet(members, copies, connection, syntax, ui, focus, set).Run(going);
    } catch (...) {
        // Nothing of the group's open transaction is committed.
        clsADO ado;
        if (connection.InTransaction()) ado.TransaçãoCancelar(connection);
        throw;
    }
    ui.SetMousePointer(platform::vbDefault);
    for (std::size_t i : going) {
        members[i].report.outcome = Outcome::Removed;
        focus(i);
        ui.MsgBox("Exame removido com sucesso.", platform::vbOKOnly, kTitle);
    }
}

}  // namespace removal

#include "CascadeDelete.h"

#include "CommitCheck.h"
#include "ErrorPrompt.h"
#include "ExamTables.h"
#include "clsADO.h"

namespace removal {
namespace {

const std::string kTitle = "Atenção!";

void showFailure(platform::Toolkit& ui, const std::string& sentence, const std::string& error) {
    ShowCascadeFailure(ui, sentence, error);
}

// Tells the observer how the commit ended, on every way out of the cascade.
class CommitNotice {
public:
    CommitNotice(CascadeObserver* observer, std::string_view suffix, const CascadeReport& report)
        : observer_(observer), suffix_(suffix), report_(report) {}
    ~CommitNotice() {
        if (observer_) observer_->AfterCommit(suffix_, report_);
    }
    CommitNotice(const CommitNotice&) = delete;
    CommitNotice& operator=(const CommitNotice&) = delete;

private:
    CascadeObserver* observer_;
    std::string_view suffix_;
    const CascadeReport& report_;
};

}  // namespace

void ShowCascadeFailure(platform::Toolkit& ui, const std::string& sentence, const std::string& error) {
    ui.MsgBox(sentence + "', ocorreu o seguinte erro:" + "\n\n" + error, platform::vbOKOnly, kTitle);
}

bool Deleta_Exame_em_Cascata(ado::Connection& fCN, const std::string& Num_Exame,
                             const std::string& Terminação, platform::Toolkit& ui, CascadeReport* report,
                             CascadeObserver* observer, CascadeSteps* steps) {
    clsADO ado;
    const std::string root = "Exame" + Terminação;
    CascadeReport unused;
    CascadeReport& account = report ? *report : unused;
    account = CascadeReport{};
    // Records where the cascade stopped; the error is read before anything
    // else is asked of ado.
    auto stopped = [&](std::string where) {
        account.failedAt = std::move(where);
        account.error = RecordedError(ado);
        return account.error;
    };
    // The observer or a step stopped the cascade and has said why in the account.
    auto withheld = [&] {
        account.end =
            ado.TransaçãoCancelar(fCN) ? CascadeReport::End::RolledBack : CascadeReport::End::RollbackFailed;
        return false;
    };

    // Without a transaction the statements would each commit on their own and
    // a failure half-way would leave the examination partly removed, so the
    // cascade does not start at all.
    if (!ado.TransaçãoIniciar(fCN)) {
        account.end = CascadeReport::End::RolledBack;
        showFailure(ui, "Ao iniciar a transação para remover de '" + root, stopped("inicio"));
        return false;
    }

    // Steps that stop the cascade have told the operator why.
    if (steps && !steps->BeforeStatements(fCN, Num_Exame, Terminação, account)) return withheld();

    std::int32_t recordsAfetados = 0;
    for (const CascadeStatement& statement : kCascadeStatements) {
        if (observer && !observer->MayContinue(account)) return withheld();
        const std::string sql = CascadeStatementText(statement, Num_Exame, Terminação);
        if (!ado.ExecutarSQL(fCN, sql, recordsAfetados)) {
            // Read the error before the rollback, which may overwrite it.
            showFailure(ui, std::string(statement.label) + Terminação, stopped(std::string(statement.table)));
            account.end = ado.TransaçãoCancelar(fCN) ? CascadeReport::End::RolledBack
                                                     : CascadeReport::End::RollbackFailed;
            return false;
        }
        account.removed.push_back({statement.table, recordsAfetados});
    }
    if (steps && !steps->BeforeCommit(account)) return withheld();
    if (observer && !observer->BeforeCommit(Terminação, account)) return withheld();
    const CommitNotice notice(observer, Terminação, account);

    // A commit that the database refused has removed nothing; saying so
    // keeps the command from reporting success (and from going on to the
    // twins).
    if (!ado.TransaçãoFinalizar(fCN)) {
        const std::string error = stopped("confirmacao");
        // A commit whose reply was lost may have been carried out all the
        // same: what the database holds now says which.
        const bool replyLost = fCN.CommitOutcomeUnknown();
        const CommitFound found =
            replyLost ? FindCommitOutcome(fCN, Num_Exame, Terminação) : CommitFound::NotCommitted;
        if (found == CommitFound::Committed) {
            account.end = CascadeReport::End::CommittedOnCheck;
            return true;
        }
        if (found == CommitFound::Unknown) {
            account.end = CascadeReport::End::Uncertain;
            ui.MsgBox("Não se sabe se o exame foi removido de '" + root +
                          "': a resposta do banco de dados à confirmação não chegou e não foi possível "
                          "verificar.\n\nVerifique no banco de dados se o exame '" +
                          Num_Exame + "' ainda está em '" + root + "' antes de tentar novamente.\n\n" + error,
                      platform::vbOKOnly, kTitle);
            return false;
        }
        showFailure(ui, "Ao confirmar a remoção em '" + root, error);
        account.end = replyLost ? CascadeReport::End::RolledBackOnCheck : CascadeReport::End::RolledBack;
        if (fCN.InTransaction() && !ado.TransaçãoCancelar(fCN))
            account.end = CascadeReport::End::RollbackFailed;
        return false;
    }
    account.end = CascadeReport::End::Committed;
    return true;
}

SavepointStatements SavepointStatementsFor(ado::SavepointSyntax syntax, std::string_view name) {
    const std::string n(name);
    if (syntax == ado::SavepointSyntax::TransactSql)
        return {"SAVE TRANSACTION " + n, "ROLLBACK TRANSACTION " + n, ""};
    return {"SAVEPOINT " + n, "ROLLBACK TO SAVEPOINT " + n, "RELEASE SAVEPOINT " + n};
}

bool Deleta_Exame_em_Savepoint(ado::Connection& fCN, const std::string& Num_Exame,
                               const std::string& Terminação, const SavepointStatements& savepoint,
                               platform::Toolkit& ui, CascadeReport& report, CascadeObserver* observer,
                               CascadeSteps* steps) {
    clsADO ado;
    const std::string root = "Exame" + Terminação;
    report = CascadeReport{};
    std::int32_t recordsAfetados = 0;
    auto stopped = [&](std::string where) {
        report.failedAt = std::move(where);
        report.error = RecordedError(ado);
        return report.error;
    };
    // Back to the savepoint, and let go of it: the examinations before this
    // one keep what they did.
    auto rollBack = [&] {
        clsADO undo;
        const bool undone =
            undo.ExecutarSQL(fCN, savepoint.rollBack, recordsAfetados) &&
            (savepoint.release.empty() || undo.ExecutarSQL(fCN, savepoint.release, recordsAfetados));
        report.end = undone ? CascadeReport::End::RolledBack : CascadeReport::End::RollbackFailed;
        return false;
    };

    if (!ado.ExecutarSQL(fCN, savepoint.mark, recordsAfetados)) {
        report.end = CascadeReport::End::RolledBack;
        showFailure(ui, "Ao iniciar a transação para remover de '" + root, stopped("inicio"));
        return false;
    }
    if (steps && !steps->BeforeStatements(fCN, Num_Exame, Terminação, report)) return rollBack();
    for (const CascadeStatement& statement : kCascadeStatements) {
        if (observer && !observer->MayContinue(report)) return rollBack();
        const std::string sql = CascadeStatementText(statement, Num_Exame, Terminação);
        if (!ado.ExecutarSQL(fCN, sql, recordsAfetados)) {
            showFailure(ui, std::string(statement.label) + Terminação, stopped(std::string(statement.table)));
            return rollBack();
        }
        report.removed.push_back({statement.table, recordsAfetados});
    }
    if (steps && !steps->BeforeCommit(report)) return rollBack();
    if (observer && !observer->BeforeCommit(Terminação, report)) return rollBack();
    if (!savepoint.release.empty() && !ado.ExecutarSQL(fCN, savepoint.release, recordsAfetados)) {
        // The statements stand, but the transaction's state is no longer
        // known: the caller rolls it back whole, and the observer, who was
        // told that a commit was coming, hears that it did not happen.
        stopped("confirmacao");
        report.end = CascadeReport::End::RollbackFailed;
        if (observer) observer->AfterCommit(Terminação, report);
        return false;
    }
    return true;
}

void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                 const std::string& Terminação, platform::Toolkit& ui) {
    clsADO ado;
    std::int32_t recordsAfetados = 0;
    for (const CascadeStatement& statement : kLegacyStatements) {
        const std::string sql = LegacyStatementText(statement, Num_Exame, Terminação);
        if (!ado.ExecutarSQL(fCN, sql, recordsAfetados)) {
            ui.MsgBox(
                std::string(statement.label) + Terminação + " ocorreu o seguinte erro: " + RecordedError(ado),
                platform::vbOKOnly, kTitle);
        }
    }
}

}  // namespace removal

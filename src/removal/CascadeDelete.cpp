#include "CascadeDelete.h"

#include "ErrorPrompt.h"
#include "ExamTables.h"
#include "clsADO.h"

namespace removal {
namespace {

const std::string kTitle = "Atenção!";

void showFailure(platform::Toolkit& ui, const std::string& sentence, const std::string& error) {
    ui.MsgBox(sentence + "', ocorreu o seguinte erro:" + "\n\n" + error, platform::vbOKOnly, kTitle);
}

}  // namespace

bool Deleta_Exame_em_Cascata(ado::Connection& fCN, const std::string& Num_Exame,
                             const std::string& Terminação, platform::Toolkit& ui, CascadeReport* report,
                             CascadeSteps* steps) {
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

    // Without a transaction the statements would each commit on their own and
    // a failure half-way would leave the examination partly removed, so the
    // cascade does not start at all.
    if (!ado.TransaçãoIniciar(fCN)) {
        account.end = CascadeReport::End::RolledBack;
        showFailure(ui, "Ao iniciar a transação para remover de '" + root, stopped("inicio"));
        return false;
    }

    // Steps that stop the cascade have told the operator why.
    auto stoppedByStep = [&] {
        account.end = ado.TransaçãoCancelar(fCN) ? CascadeReport::End::RolledBack
                                                 : CascadeReport::End::RollbackFailed;
        return false;
    };
    if (steps && !steps->BeforeStatements(fCN, Num_Exame, Terminação, account)) return stoppedByStep();

    std::int32_t recordsAfetados = 0;
    for (const CascadeStatement& statement : kCascadeStatements) {
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

    if (steps && !steps->BeforeCommit(account)) return stoppedByStep();

    // A commit that fails has removed nothing; saying so keeps the command
    // from reporting success (and from going on to the twins).
    if (!ado.TransaçãoFinalizar(fCN)) {
        showFailure(ui, "Ao confirmar a remoção em '" + root, stopped("confirmacao"));
        account.end = CascadeReport::End::RolledBack;
        if (fCN.InTransaction() && !ado.TransaçãoCancelar(fCN))
            account.end = CascadeReport::End::RollbackFailed;
        return false;
    }
    account.end = CascadeReport::End::Committed;
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

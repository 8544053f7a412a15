#include "RemovalPreview.h"

#include <optional>

#include "ErrorPrompt.h"
#include "ExamExistence.h"
#include "ExamTables.h"
#include "RemovedRowCopy.h"
#include "ado/Recordset.h"
#include "clsADO.h"

namespace removal {
namespace {

// The first field of the single row that sql returns, or nothing when the
// query fails (ado then holds the error).
std::optional<long long> count(clsADO& ado, ado::Connection& connection, ado::Recordset& recordset,
                               const std::string& sql) {
    if (!ado.AbrirRecordset(connection, recordset, sql)) return std::nullopt;
    const auto value = ado::ToInteger(recordset.Fields(0).Value());
    recordset.Close();
    return value.value_or(0);
}

}  // namespace

RemovalPreview PreviewRemoval(const std::string& numeroExame, ado::Connection& connection,
                              platform::Toolkit& ui) {
    RemovalPreview preview;
    if (numeroExame.empty()) {
        preview.outcome = RemovalPreview::Outcome::NotAttempted;
        ui.MsgBox("Digite o número de exame que deseja remover.", platform::vbOKOnly, "Atenção!");
        return preview;
    }
    clsADO ado;
    ado::Recordset recordset;

    const std::optional<bool> found = FindExamination(ado, connection, numeroExame);
    if (!found) {
        preview.outcome = RemovalPreview::Outcome::Failed;
        preview.checkError = RecordedError(ado);
        return preview;
    }
    if (!*found) return preview;

    preview.outcome = RemovalPreview::Outcome::WouldRemove;
    std::size_t set = 0;
    for (std::string_view suffix : {kLiveTables, kBackupTables}) {
        CascadeReport& counted = preview.sets[set++];
        counted.end = CascadeReport::End::Committed;
        for (const CascadeStatement& statement : kCascadeStatements) {
            const auto rows =
                count(ado, connection, recordset, RowCountStatementText(statement, numeroExame, suffix));
            if (!rows) {
                preview.outcome = RemovalPreview::Outcome::Failed;
                counted.end = CascadeReport::End::RolledBack;
                counted.failedAt = statement.table;
                counted.error = RecordedError(ado);
                // As the removal would, the twins are not reached after the
                // live tables fail.
                return preview;
            }
            counted.removed.push_back({statement.table, static_cast<std::int32_t>(*rows)});
        }
    }
    return preview;
}

}  // namespace removal

#include "ExamExistence.h"

#include "ExamTables.h"
#include "ado/Recordset.h"
#include "clsADO.h"

namespace removal {

std::optional<bool> FindExamination(clsADO& ado, ado::Connection& connection,
                                    const std::string& numeroExame) {
    ado::Recordset recordset;
    for (std::string_view suffix : {kLiveTables, kBackupTables}) {
        if (!ado.AbrirRecordset(connection, recordset, ExistenceQuery(numeroExame, suffix)))
            return std::nullopt;
        const auto count = ado::ToInteger(recordset.Fields(0).Value());
        recordset.Close();
        if (count && *count > 0) return true;
    }
    return false;
}

}  // namespace removal

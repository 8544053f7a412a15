#include "CommitCheck.h"

#include <chrono>
#include <thread>

#include "Diagnostics.h"
#include "ExamTables.h"
#include "ado/ConnectionString.h"
#include "ado/OdbcConnectionString.h"
#include "ado/Recordset.h"
#include "clsADO.h"

namespace removal {
namespace {

CommitFound cannotTell(const std::string& why) {
    platform::Diagnose("remover-exame",
                       "whether the lost commit was carried out cannot be found out: " + why);
    return CommitFound::Unknown;
}

}  // namespace

CommitFound FindCommitOutcome(const ado::Connection& fCN, const std::string& Num_Exame,
                              const std::string& Terminação) {
    try {
        const long timeout =
            ado::RequestedCommandTimeout(ado::ParseConnectionString(fCN.ConnectionString())).value_or(0);
        const std::chrono::seconds wait(timeout > 0 ? timeout : 30);
        ado::Connection look;
        clsADO ado;
        if (!ado.AbrirConexão(look, fCN.ConnectionString()))
            return cannotTell("a new connection could not be opened: error " +
                              std::to_string(ado.ErrorNumber()) + " - " + ado.ErrorString());

        // A session the connection still holds has ended its transaction
        // (the failed commit was followed by a rollback that worked).
        if (fCN.SessionLost()) {
            const std::string& old = fCN.SessionIdentity();
            if (old.empty()) return cannotTell("this database does not say when a session has ended");
            const auto deadline = std::chrono::steady_clock::now() + wait;
            for (;;) {
                const std::optional<bool> held = look.ServerHoldsSession(old);
                if (!held) return cannotTell("the server does not say whether it still holds session " + old);
                if (!*held) break;
                if (std::chrono::steady_clock::now() >= deadline)
                    return cannotTell("the server still holds session " + old);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }

        ado::Recordset recordset;
        if (!ado.AbrirRecordset(look, recordset, ExistenceQuery(Num_Exame, Terminação)))
            return cannotTell("the count failed: error " + std::to_string(ado.ErrorNumber()) + " - " +
                              ado.ErrorString());
        const auto count = ado::ToInteger(recordset.Fields(0).Value());
        recordset.Close();
        if (!count) return cannotTell("the count gave no number");
        return *count == 0 ? CommitFound::Committed : CommitFound::NotCommitted;
    } catch (const std::exception& error) {
        return cannotTell(error.what());
    }
}

}  // namespace removal

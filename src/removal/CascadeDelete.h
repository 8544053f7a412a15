// Removing one examination and every row that belongs to it from one set of
// tables (the live ones, or the "_BK" twins), in one transaction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Toolkit.h"
#include "ado/Connection.h"

namespace removal {

// What one cascade did, for whoever keeps account of removals: the rows each
// statement removed as the database reported them (its records-affected
// count), in the order sent, and where and why it stopped.
struct CascadeReport {
    enum class End {
        NotRun,          // the cascade was not called
        Committed,       // every statement ran and the commit succeeded
        RolledBack,      // stopped; its statements were rolled back
        RollbackFailed,  // stopped, and the rollback itself failed
    };
    struct TableRows {
        std::string_view table;
        std::int32_t rows;  // -1 when the database does not say
    };

    End end = End::NotRun;
    std::vector<TableRows> removed;  // one entry per statement that succeeded
    // When it stopped: the table whose statement failed, or "inicio" (the
    // transaction could not begin) or "confirmacao" (the commit failed).
    std::string failedAt;
    std::string error;  // the failure as the operator read it: number " - " text
};

// Work done inside a cascade's transaction besides its statements, such as
// keeping copies of the rows removed. Either step returning false stops the
// cascade, which then rolls back; the step has told the operator and filled
// report's failedAt and error.
class CascadeSteps {
public:
    virtual ~CascadeSteps() = default;
    // After the transaction has begun, before the first statement.
    virtual bool BeforeStatements(ado::Connection& fCN, const std::string& Num_Exame,
                                  const std::string& Terminação, CascadeReport& report) = 0;
    // After the last statement (report.removed is complete), before the commit.
    virtual bool BeforeCommit(CascadeReport& report) = 0;
};

// True when every statement ran and the transaction was committed. On the
// first failure the operator is told which table and why, the transaction is
// rolled back and the result is false.
// report, when given, receives what the call did; steps, when given, run
// inside the transaction.
bool Deleta_Exame_em_Cascata(ado::Connection& fCN, const std::string& Num_Exame,
                             const std::string& Terminação, platform::Toolkit& ui,
                             CascadeReport* report = nullptr, CascadeSteps* steps = nullptr);

// The older six-table removal: no transaction, and a failed statement is
// reported and the next one still sent.
void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                 const std::string& Terminação, platform::Toolkit& ui);

}  // namespace removal

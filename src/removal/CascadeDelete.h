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
        // The reply to the commit was lost, and a look at the database on a
        // new connection found the set committed, not committed, or could
        // not tell.
        CommittedOnCheck,
        RolledBackOnCheck,
        Uncertain,
    };
    struct TableRows {
        std::string_view table;
        std::int32_t rows;  // -1 when the database does not say
    };

    End end = End::NotRun;
    std::vector<TableRows> removed;  // one entry per statement that succeeded
    // When it stopped: the table whose statement failed, or "inicio" (the
    // transaction could not begin) or "confirmacao" (the commit failed, or
    // its reply was lost).
    std::string failedAt;
    std::string error;  // the failure as the operator read it: number " - " text
};

// Someone who follows a cascade as it runs, so that what it commits is on
// record even when the program ends right after (the audit). It may stop the
// cascade: it then fills failedAt and error of the report, and the set is
// rolled back without a message from the cascade.
class CascadeObserver {
public:
    virtual ~CascadeObserver() = default;
    // Before each statement: false stops the cascade (the program was asked to
    // end).
    virtual bool MayContinue(CascadeReport& report) noexcept = 0;
    // Before the commit, with the rows every statement removed: false
    // withholds the commit.
    virtual bool BeforeCommit(std::string_view suffix, CascadeReport& report) noexcept = 0;
    // Once the commit has been asked for, however it ended (report.end; NotRun
    // when something the cascade does not catch ended it).
    virtual void AfterCommit(std::string_view suffix, const CascadeReport& report) noexcept = 0;
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
// rolled back and the result is false. When the reply to the commit is lost,
// a new connection finds out whether the set was committed; the operator is
// told the commit's failure when it was not, and that nobody knows (and that
// the examination must be checked before trying again) when that cannot be
// found out.
// report, when given, receives what the call did; observer, when given,
// follows it; steps, when given, run inside the transaction.
bool Deleta_Exame_em_Cascata(ado::Connection& fCN, const std::string& Num_Exame,
                             const std::string& Terminação, platform::Toolkit& ui,
                             CascadeReport* report = nullptr, CascadeObserver* observer = nullptr,
                             CascadeSteps* steps = nullptr);

// Tells the operator that a cascade stopped: sentence names what was being
// done, error is the failure as recorded (number " - " text).
void ShowCascadeFailure(platform::Toolkit& ui, const std::string& sentence, const std::string& error);

// The statements that mark, roll back to and let go of the savepoint named
// name, in the database's syntax; release is empty where a savepoint is not
// let go of (it ends with the transaction).
struct SavepointStatements {
    std::string mark, rollBack, release;
};
SavepointStatements SavepointStatementsFor(ado::SavepointSyntax syntax, std::string_view name);

// The cascade of one examination inside a transaction that the caller has
// begun and will end, shared with other examinations (a batch committed in
// groups): its statements run after the savepoint is marked, and a failure
// rolls back to it alone, the operator told as Deleta_Exame_em_Cascata tells
// it. True when every statement ran and the steps' and the observer's
// BeforeCommit agreed; report.end then stays NotRun until the caller's
// commit has answered, and the caller tells the observer (AfterCommit).
// False when the set was rolled back to the savepoint (RolledBack), or even
// that failed (RollbackFailed): the caller's transaction is then not to be
// trusted and must be rolled back whole.
bool Deleta_Exame_em_Savepoint(ado::Connection& fCN, const std::string& Num_Exame,
                               const std::string& Terminação, const SavepointStatements& savepoint,
                               platform::Toolkit& ui, CascadeReport& report, CascadeObserver* observer,
                               CascadeSteps* steps);

// The older six-table removal: no transaction, and a failed statement is
// reported and the next one still sent.
void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                 const std::string& Terminação, platform::Toolkit& ui);

}  // namespace removal

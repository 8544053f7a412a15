// Copies of the rows a removal takes away, kept in a file before the removal
// is committed, so that a wrong number can be undone.
//
// For each set of tables the rows are read inside the cascade's transaction,
// before its first statement, table by table in cascade order, each stored
// row once: a row of table X is read when its link column is among the
// parent rows that the statement's own joins and filter select, which is
// exactly when the statement deletes it (a join row is not a stored row:
// rows without keys that repeat are read as often as they are stored, and a
// parent that repeats does not read a child twice). Before the commit the
// number of rows read must equal the records each statement reported, and the
// file must be on disk; otherwise the set is rolled back.
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "CascadeDelete.h"
#include "ExamTables.h"
#include "Toolkit.h"
#include "ado/Connection.h"
#include "ado/Variant.h"
#include "DurableFile.h"

namespace removal {

// What statement would delete, as a query of the table's own rows (all its
// columns) over the statement's joins and filter.
std::string ReadingStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                 std::string_view suffix);

// The same rows, counted.
std::string RowCountStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                  std::string_view suffix);

struct KeptColumn {
    std::string name;
    std::int64_t type = -1;  // the declared type as an ADO data-type code; -1 when unknown
};

struct KeptTable {
    std::string table;  // with the set's suffix
    std::vector<KeptColumn> columns;
    std::vector<std::vector<ado::Variant>> rows;
};

// Whether a column of this ADO type holds binary data (kept as base64).
bool IsBinaryType(std::int64_t adoType);

// The rows each of the thirteen statements would delete, in cascade order.
// False when a query failed; error then holds "number - text". Each
// column's type is the one the query's result declares. A table whose parent
// (the table its statement joins first; Exame's parent is the number) kept no
// row keeps no columns and no rows. On a database that takes several queries
// in one request the thirteen go together; elsewhere such a table is not
// asked.
bool ReadRemovedRows(ado::Connection& connection, const std::string& numeroExame, const std::string& suffix,
                     std::vector<KeptTable>& tables, std::string& error);

// One set as the file keeps it.
struct KeptSet {
    enum class State { Pending, Committed, RolledBack };
    std::string suffix;
    State state = State::Pending;
    std::vector<KeptTable> tables;
};

// Who removed what, where, and from which database.
struct CopyHeader {
    std::string numeroExame;
    std::chrono::system_clock::time_point when;
    std::string user;
    std::string host;
    std::string connectionString;  // described without secrets, never written whole
};

// The file is written as it goes, in lines of JSON, each line one record
// ending with the SHA-256 of its own content, which includes the previous
// record's ("anterior"), so that no record can be changed, dropped or moved
// without the reader seeing it. The first line says who removed what, where,
// and which sets the removal runs (checksum: its own); then each set's rows go in a record
// appended and flushed before that set's commit; the records carry every
// set's state so far ("pendente", "confirmado", "desfeito"), the last one
// read being the one that counts.
std::string CopyHeaderRecord(const CopyHeader& header, const std::vector<std::string>& suffixes,
                             std::string& checksum);

// A record after the header: the states of sets[0..n) and, when withSet, the
// rows of sets[n - 1]; previous is the preceding record's checksum, and
// becomes this one's.
std::string CopyRecord(const std::vector<KeptSet>& sets, std::size_t n, bool withSet, std::string& previous);

// The file name for a removal: the number (letters, digits, "-" and "_"
// kept, anything else as "_"), the time in UTC and the process.
std::string CopyFileName(const CopyHeader& header);

// The copies of one removal: the cascade's steps for each set, and the file.
class RemovalCopy final : public CascadeSteps {
public:
    RemovalCopy(std::string folder, CopyHeader header, platform::Toolkit& ui);

    bool BeforeStatements(ado::Connection& fCN, const std::string& Num_Exame, const std::string& Terminação,
                          CascadeReport& report) override;
    bool BeforeCommit(CascadeReport& report) override;

    // After the cascade of the current set has ended, as its report says. A
    // file already written then records it; a commit whose outcome nobody
    // knows leaves the set "pendente", which a restore settles by the
    // database.
    void SetEnded(const CascadeReport& report);

    // The file's path once written, else empty.
    const std::string& Path() const { return written_ ? path_ : kNone; }

private:
    // The records the file lacks, ready to be written.
    struct Records {
        std::string text, checksum;
        std::size_t setsWritten = 0;
        std::vector<KeptSet::State> states;
        bool create = false;
    };
    bool prepare(Records& records, platform::FileFailure& failure) const;
    static bool store(const std::string& path, const Records& records, bool sync, platform::FileFailure& failure);
    void stored(Records&& records);

    // report: the copy before a commit, whose failure stops the cascade; the
    // records not yet in the file are then flushed to disk. Otherwise the
    // state after it, not flushed; a failure there is told only when the set
    // was committed (a set rolled back has removed nothing).
    bool write(CascadeReport* report, bool tellWhenItFails = true);
    bool failed(const platform::FileFailure& failure, CascadeReport* report, bool tellWhenItFails);

    // Waits for the current set's records written while its statements run
    // (see BeforeStatements): true when there were none or they are on disk.
    bool settle(platform::FileFailure& failure);

    static inline const std::string kNone;
    std::string folder_;
    CopyHeader header_;
    platform::Toolkit& ui_;
    std::string path_;
    bool written_ = false;
    std::vector<KeptSet> sets_;
    // What the file already holds: its sets' records, the states its last
    // record gives, and that record's checksum.
    std::size_t setsWritten_ = 0;
    std::vector<KeptSet::State> statesWritten_;
    std::string lastChecksum_;
    // The current set's records, being written and flushed; last, so that
    // its thread is joined before what it uses goes.
    bool ahead_ = false;
    Records aheadRecords_;
    platform::FileFailure aheadFailure_;
    std::future<bool> aheadDone_;
};

}  // namespace removal

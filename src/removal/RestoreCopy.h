// Putting back the rows that a removal kept in its copy file.
//
// The file is trusted only as far as it checks: its SHA-256 must match its
// content, it must come from the database the program is connected to, its
// tables must be the examination tables in cascade order and its columns the
// tables' real columns, and the examination must not be there already. Then
// each committed set is inserted in one transaction, parents first, through
// statements with parameters: no value from the file ever becomes SQL text,
// and names are checked against the database and quoted as names.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ado/Connection.h"

namespace removal {

struct RestoreReport {
    enum class Outcome {
        Refused,    // the file or the database failed a check: nothing changed
        Simulated,  // every check passed; nothing inserted (dry run)
        Restored,   // every committed set inserted and committed
        Failed,     // an insert or a commit failed: that set was rolled back
    };
    struct SetRows {
        std::string suffix;
        // Only sets the removal committed are put back: "confirmado", or
        // "pendente" (the program ended between the commit and marking it)
        // while the examination is not in the set; never "desfeito".
        bool committedInFile = false;
        std::vector<std::pair<std::string, std::size_t>> tables;  // in insertion order
        bool inserted = false;
    };
    Outcome outcome = Outcome::Refused;
    std::string reason;  // Refused or Failed: why, in the operator's words
    std::string numeroExame;
    // The file ends in a record cut short (the program stopped while writing
    // it, before any commit relied on it), which was left out.
    bool unfinished = false;
    std::vector<SetRows> sets;
};

// Files larger than this are refused before they are read.
inline constexpr std::size_t kLargestCopyFile = std::size_t{1} << 30;

// The checks of a copy file's text that need no database (form, checksum,
// origin): empty text when it passes them, otherwise why not.
std::string CheckCopyText(const std::string& content, const std::string& connectionString);

// A copy file's content, written as records or as one document, as the one
// document an earlier version wrote for the same removal (with its
// checksum); empty, with reason, when its checksums fail.
std::string CopyAsDocument(const std::string& content, std::string& reason);

RestoreReport RestoreRemovedRows(const std::string& path, ado::Connection& connection, bool simulate);

// The audit record of one restore (or dry run), one line as the removal's.
std::string RestoreAuditLine(const std::string& path, bool simulate, const RestoreReport& report,
                             const std::string& user, const std::string& host,
                             const std::string& connectionString);

}  // namespace removal

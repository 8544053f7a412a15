// The dry run of a removal: for one examination, how many rows each of the
// thirteen tables of each set would lose, without changing anything.
#pragma once

#include <array>
#include <string>

#include "CascadeDelete.h"
#include "Toolkit.h"
#include "ado/Connection.h"

namespace removal {

struct RemovalPreview {
    enum class Outcome {
        NotAttempted,  // empty number: the database was not asked
        NotFound,      // in neither Exame nor Exame_BK
        WouldRemove,   // found; every count succeeded
        Failed,        // the existence check or a count failed
    };
    Outcome outcome = Outcome::NotFound;
    std::string checkError;  // the existence check's failure: number " - " text
    // Per set (live, then the twins): the rows each statement would remove,
    // in cascade order; on a failed count, its table and error (end is
    // Committed when every count ran, RolledBack when one failed).
    std::array<CascadeReport, 2> sets;
};

// The existence check of the remove command (Exame, then Exame_BK), then,
// for a number that exists, the count of each cascade statement on both sets.
// Every query is a single SELECT outside any transaction of the program's,
// so nothing is written and no lock outlasts its count. An empty number gets
// the command's own prompt through ui and no query at all, as the removal
// does.
RemovalPreview PreviewRemoval(const std::string& numeroExame, ado::Connection& connection,
                              platform::Toolkit& ui);

}  // namespace removal

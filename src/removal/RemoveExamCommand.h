// The "Remover" command of the main window.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "CascadeDelete.h"
#include "Toolkit.h"
#include "ado/Connection.h"

namespace removal {

// How one run of the command ended, and what each cascade did.
struct RemovalReport {
    enum class Outcome {
        NotAttempted,  // empty number: the database was not asked
        CheckFailed,   // the existence check's query failed
        NotFound,      // in neither Exame nor Exame_BK
        Cancelled,     // the operator answered Cancel
        Removed,       // both cascades committed
        Failed,        // a cascade stopped
    };
    Outcome outcome = Outcome::NotAttempted;
    std::string checkError;  // CheckFailed: number " - " text
    // The live tables, then the twins.
    std::array<CascadeReport, 2> sets;
    // The file holding the copies of the removed rows, when one was written.
    std::string copyFile;
};

// Removes the examination whose number the operator typed (numeroExame, the
// text box's content exactly as typed) from the live tables and then from
// their "_BK" twins, after checking that it exists and asking to confirm.
// Every outcome is told through ui; the form's pointer is the hourglass while
// the cascades run. report, when given, follows the run as it goes, so it is
// whole even when something the command does not catch ends it early;
// observer, when given, follows both cascades. With copyFolder not empty, the
// rows of each set are copied to a file in that folder before the set is
// committed, and a set whose copy cannot be written is rolled back.
void cmdAtualizar_Click(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui,
                        RemovalReport* report = nullptr, CascadeObserver* observer = nullptr,
                        const std::string& copyFolder = {});

// One examination of a batch committed in groups (RemoveGroup).
struct GroupMember {
    std::string numeroExame;
    RemovalReport report;
    bool tried = false;  // false: a stop request came before it was started
    CascadeObserver* observer = nullptr;
};

// Removes the examinations of members as cmdAtualizar_Click removes each one
// (the same checks, questions, messages and statements), but commits them
// together: the live sets of all of them in one transaction, then the "_BK"
// sets of those whose live set was committed in another. Each examination's
// cascade runs in its own savepoint (syntax, which must not be None), so that
// one that fails is rolled back alone and the others go on. An examination is
// removed only once both of its group's commits succeeded; a commit whose
// reply was lost is looked for on a new connection, once for the group.
// focus(i) is called before anything is done or told for members[i]. With
// copyFolder not empty every examination's copy is on disk before the
// group's commit and records the commit's end after it. Members after a stop
// request (platform::StopRequested) are not started.
void RemoveGroup(std::vector<GroupMember>& members, ado::Connection& connection, ado::SavepointSyntax syntax,
                 platform::Toolkit& ui, const std::function<void(std::size_t)>& focus,
                 const std::string& copyFolder = {});

}  // namespace removal

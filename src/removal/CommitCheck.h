// Finding out whether a commit whose reply was lost was carried out.
#pragma once

#include <string>

#include "ado/Connection.h"

namespace removal {

enum class CommitFound {
    Committed,     // the examination is no longer in the set
    NotCommitted,  // it is still there
    Unknown,       // the database could not be asked, or not be sure
};

// After fCN's commit of the cascade on the set named by Terminação failed
// with its reply lost: opens a new connection with fCN's connection string,
// set up as start-up sets it up, and there only reads. It first waits until
// the server no longer holds fCN's old session, so that its transaction has
// ended one way or the other and what is read cannot change afterwards; then
// counts the examination in Exame{T}, which the cascade removes last.
//
// The server is waited for as long as one command may take (the string's
// Command Timeout, 30 seconds by default). A string that lets commands wait
// for ever gets the 30 seconds here: a server may hold the session of a
// client that vanished for hours.
CommitFound FindCommitOutcome(const ado::Connection& fCN, const std::string& Num_Exame,
                              const std::string& Terminação);

}  // namespace removal

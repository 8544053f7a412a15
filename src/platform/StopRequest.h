// Ending a run of the command line cleanly when asked to, and outliving a
// reader that has gone.
//
// While a StopRequests guard lives: SIGINT and SIGTERM (on Windows Ctrl+C,
// Ctrl+Break and closing the console) no longer end the program at once but
// only ask it to stop, which the program checks between statements and
// between examinations, so the set under way is rolled back or committed, and
// recorded, before it ends; and a write to a pipe whose reader has gone fails
// with an error instead of killing the program (SIGPIPE is ignored). When the
// guard goes the previous handling comes back, and a request made while it
// lived is forgotten: it was for the run the guard covered.
#pragma once

namespace platform {

class StopRequests {
public:
    // Forgets any earlier request.
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
};

// Whether a stop was asked for while the guard lives. Safe from any thread.
bool StopRequested() noexcept;
// What asked for it ("SIGINT", "SIGTERM", "Ctrl+C", ...), or empty text.
const char* StopRequestName() noexcept;

}  // namespace platform

// The program without a window, for IT: a dry run of removals (--simular)
// and removals in batches (--confirmar), of numbers given with --exame or in
// list files (--lista).
//
// It starts up exactly as the window does (the same configuration file, the
// same connection; --ini names another file), and removes through the very
// same command as the window's button, which is recorded in the system's
// log. What the window would show in message boxes is written to the error
// stream; the results go to the output stream as a table or as JSON.
//
// Exit status: 0 when everything was done (or would be), 1 when some
// examination was not found, 2 on any failure (and for a command line that
// cannot be used).
#pragma once

#include <istream>
#include <ostream>

#include "SystemLog.h"

namespace app {

inline constexpr int kExitDone = 0;
inline constexpr int kExitNotFound = 1;
inline constexpr int kExitFailure = 2;

struct Console {
    std::istream& in;    // read by "--lista -"
    std::ostream& out;   // results
    std::ostream& err;   // messages, diagnostics and the progress bar
    bool errIsTerminal;  // a progress bar is drawn only on a terminal
};

// Runs the command line argv[1..argc-1]; returns the exit status. log
// receives the record of each removal attempt (the system's log when null).
int RunCommandLine(int argc, const char* const* argv, Console console, platform::SystemLog* log = nullptr);

}  // namespace app

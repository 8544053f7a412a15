#include <windows.h>

#include "StopRequest.h"
#include "StopRequestState.h"

namespace platform {
namespace {

using detail::requested;
// Signalled when the guard goes, that is when the run has ended.
HANDLE runEnded = nullptr;

// Runs on a thread of its own that the system starts for the event. A second
// Ctrl+C or Ctrl+Break goes on to the default handler, which ends the
// program at once.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return requested.exchange("Ctrl+C") == nullptr;
        case CTRL_BREAK_EVENT:
            return requested.exchange("Ctrl+Break") == nullptr;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process once this returns (and after a few
            // seconds in any case): give the run that long to finish the set
            // under way and write its records.
            requested.store("fechamento do console");
            if (runEnded) WaitForSingleObject(runEnded, 4500);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

// A closed pipe makes WriteFile fail with ERROR_NO_DATA on Windows; there is
// no signal to ignore.
StopRequests::StopRequests() {
    requested.store(nullptr);
    runEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopRequests::~StopRequests() {
    if (runEnded) SetEvent(runEnded);
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    requested.store(nullptr);
}

}  // namespace platform

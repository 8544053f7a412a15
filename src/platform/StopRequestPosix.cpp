#include <signal.h>

#include "StopRequest.h"
#include "StopRequestState.h"

namespace platform {
namespace {

using detail::requested;

struct sigaction previousInt, previousTerm, previousPipe;

// A second signal ends the program at once, as it would have without the
// guard: whoever sends it would rather not wait for the statement under way.
// A set left open is rolled back by the database, and the sets already
// committed are on record.
extern "C" void onStopSignal(int signalNumber) {
    if (requested.exchange(signalNumber == SIGINT ? "SIGINT" : "SIGTERM") != nullptr) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
    }
}

}  // namespace

StopRequests::StopRequests() {
    requested.store(nullptr);
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    // SA_RESTART: a driver waiting on its server keeps waiting for the answer
    // rather than failing the statement with EINTR; the request is seen once
    // the statement is over.
    stop.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stop, &previousInt);
    sigaction(SIGTERM, &stop, &previousTerm);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previousPipe);
}

StopRequests::~StopRequests() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGPIPE, &previousPipe, nullptr);
    requested.store(nullptr);
}

}  // namespace platform

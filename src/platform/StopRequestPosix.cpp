#include <signal.h>

#include <atomic>

#include "StopRequest.h"

namespace platform {
namespace {

// Set from a signal handler: lock-free atomics are safe there.
std::atomic<const char*> requested{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

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
}

bool StopRequested() noexcept {
    return requested.load() != nullptr;
}

const char* StopRequestName() noexcept {
    const char* name = requested.load();
    return name ? name : "";
}

}  // namespace platform

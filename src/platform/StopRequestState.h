// The one stop request, shared by the system's own handler
// (StopRequestPosix.cpp or StopRequestWin32.cpp) and the questions of
// StopRequest.cpp: what asked for the stop, or null while nothing has.
#pragma once

#include <atomic>

namespace platform::detail {

// Set from a signal handler or the console's control thread: lock-free
// atomics are safe in both.
extern std::atomic<const char*> requested;
static_assert(std::atomic<const char*>::is_always_lock_free);

}  // namespace platform::detail

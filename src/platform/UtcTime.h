// The calendar parts of an instant in UTC, through each system's own
// thread-safe call.
#pragma once

#include <ctime>

namespace platform {

// The year, month, day, hour, minute and second of seconds (since the epoch)
// in UTC; all zero when the system cannot convert it.
std::tm UtcTimeParts(std::time_t seconds);

}  // namespace platform

#include "UtcTime.h"

namespace platform {

std::tm UtcTimeParts(std::time_t seconds) {
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return utc;
}

}  // namespace platform

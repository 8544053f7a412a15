#include "UtcTime.h"

namespace platform {

std::tm UtcTimeParts(std::time_t seconds) {
    std::tm utc{};
    gmtime_s(&utc, &seconds);
    return utc;
}

}  // namespace platform

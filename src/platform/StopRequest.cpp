#include "StopRequest.h"

#include "StopRequestState.h"

namespace platform {

std::atomic<const char*> detail::requested{nullptr};

bool StopRequested() noexcept {
    return detail::requested.load() != nullptr;
}

const char* StopRequestName() noexcept {
    const char* name = detail::requested.load();
    return name ? name : "";
}

}  // namespace platform

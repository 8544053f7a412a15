// The failure raised by every member of the connection layer.
#pragma once

#include <cstdint>
#include <string>

#include "StatusError.h"

namespace ado {

// A failed member call: the 32-bit status code, and the provider's own
// description (for diagnostics; the operator is shown the text that belongs to
// the number, never this description).
class AdoError : public platform::StatusError {
public:
    AdoError(std::uint32_t status, const std::string& description) : StatusError(status, description) {}

    const char* description() const { return what(); }
};

}  // namespace ado

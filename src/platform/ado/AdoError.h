// The failure raised by every member of the connection layer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ado {

// A failed member call: the 32-bit status code, and the provider's own
// description (for diagnostics; the operator is shown the text that belongs to
// the number, never this description).
class AdoError : public std::runtime_error {
public:
    AdoError(std::uint32_t status, const std::string& description)
        : std::runtime_error(description), status_(status) {}

    std::uint32_t status() const { return status_; }
    const char* description() const { return what(); }

private:
    std::uint32_t status_;
};

}  // namespace ado

// A failure that carries a 32-bit status code: what the connection layer
// raises. The report of an error that nothing caught turns the code into its
// run-time error number.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

class StatusError : public std::runtime_error {
public:
    StatusError(std::uint32_t status, const std::string& description)
        : std::runtime_error(description), status_(status) {}

    std::uint32_t status() const { return status_; }

private:
    std::uint32_t status_;
};

}  // namespace platform

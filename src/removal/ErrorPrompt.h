// How the removal words a failure for the operator.
#pragma once

#include <cstdint>
#include <string>

namespace removal {

// number in decimal (minus sign when negative), " - ", text.
inline std::string NumberAndText(std::int32_t number, const std::string& text) {
    return std::to_string(number) + " - " + text;
}

}  // namespace removal

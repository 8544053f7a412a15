// How the removal words a failure for the operator.
#pragma once

#include <string>

#include "clsADO.h"

namespace removal {

// The failure that ado last recorded, as the operator reads it: the number in
// decimal (minus sign when negative), " - " and the text. The number is read
// before the text, and both before the next call on ado can replace them.
inline std::string RecordedError(const clsADO& ado) {
    const std::int32_t number = ado.ErrorNumber();
    return std::to_string(number) + " - " + ado.ErrorString();
}

}  // namespace removal

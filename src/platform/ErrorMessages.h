// The table of standard error messages by number, in Portuguese.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The operator's text for an error number: a run-time error number, one of
// ADO's own numbers, or a status code as a signed 32-bit value. A number the
// table does not know gets one fixed generic text.
std::string StandardErrorText(std::int32_t number);

// The text given for every number that the table does not know.
extern const char* const kUnknownErrorText;

}  // namespace platform

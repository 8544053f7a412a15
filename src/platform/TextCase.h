// Upper case as the operator reads it, for the messages that name a path.
#pragma once

#include <string>

namespace platform {

// Every letter of text in upper case, ASCII and accented letters alike, one
// character for one (so "ß" stays). Text that is not valid UTF-8 has only its
// ASCII letters changed and keeps its other bytes as they are.
std::string UpperCase(const std::string& text);

}  // namespace platform

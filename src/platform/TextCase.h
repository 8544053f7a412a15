// Upper case as the operator reads it, for the messages that name a path.
#pragma once

#include <string>

namespace platform {

// Every letter of text in upper case, ASCII and accented letters alike, one
// character for one (so "ß" stays). Text that is not valid UTF-8 has only its
// ASCII letters changed and keeps its other bytes as they are.
std::string UpperCase(const std::string& text);

// Upper case of the ASCII letters only, whatever the locale: for keys,
// provider and driver names, SQL words, drive letters.
inline char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline std::string UpperAscii(std::string text) {
    for (char& c : text) c = UpperAscii(c);
    return text;
}
inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}
inline bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace platform

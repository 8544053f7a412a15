// UTF-8, decoded and encoded one code point at a time. The program keeps all
// its text as UTF-8; these are the one place that knows the encoding's rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

struct Utf8Sequence {
    char32_t codePoint;  // meaningful only when valid
    std::size_t length;  // bytes the sequence spans, never 0
    bool valid;
};

// The sequence that starts at text[i] (i < text.size()). A valid sequence is
// the shortest encoding of a code point up to U+10FFFF that is not a
// surrogate. An invalid one spans the longest prefix that could have begun a
// valid sequence (at least its first byte), so a decoder that steps over it
// always moves forward and never reads past the end.
Utf8Sequence DecodeUtf8At(std::string_view text, std::size_t i);

// Appends the encoding of codePoint (at most U+10FFFF) to out.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace platform

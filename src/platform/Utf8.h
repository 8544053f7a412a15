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

// Whether a whole text is well-formed UTF-8, fed one byte at a time, for
// readers that decide a file's encoding once they have seen all of it.
class Utf8Validator {
public:
    void Feed(unsigned char byte);
    bool Valid() const { return valid_ && pending_ == 0; }

private:
    bool valid_ = true;
    int pending_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

// Windows-1252 to UTF-8. The five positions that code page leaves unassigned
// become the C1 controls of the same value, as Windows' own conversion does.
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace platform

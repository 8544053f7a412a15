#include "TextCase.h"

#include <optional>
#include <string_view>

#include "Utf8.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

namespace platform {
namespace {

// The code points of text, or nothing when it is not valid UTF-8 (overlong
// forms, surrogates and values past U+10FFFF included).
std::optional<std::u32string> DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Sequence sequence = DecodeUtf8At(text, i);
        if (!sequence.valid) return std::nullopt;
        out.push_back(sequence.codePoint);
        i += sequence.length;
    }
    return out;
}

#ifdef _WIN32
char32_t UpperCodePoint(char32_t c) {
    // Outside the basic plane the letters keep their case, as the system's
    // own upper-casing of file names does.
    if (c >= 0x10000) return c;
    wchar_t unit = static_cast<wchar_t>(c);
    CharUpperBuffW(&unit, 1);
    return static_cast<char32_t>(unit);
}
#else
char32_t UpperCodePoint(char32_t c) {
    // The Unicode case table of the C.UTF-8 locale, whatever the process's
    // own locale is; without it only ASCII letters change.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!utf8) return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8));
}
#endif

}  // namespace

std::string UpperCase(const std::string& text) {
    const std::optional<std::u32string> codePoints = DecodeUtf8(text);
    if (!codePoints) return UpperAscii(text);
    std::string out;
    out.reserve(text.size());
    for (char32_t c : *codePoints) AppendUtf8(out, UpperCodePoint(c));
    return out;
}

}  // namespace platform

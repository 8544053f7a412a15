#include "TextCase.h"

#include <optional>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

namespace platform {
namespace {

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The code points of text, or nothing when it is not valid UTF-8 (overlong
// forms, surrogates and values past U+10FFFF included).
std::optional<std::u32string> DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t c = 0;
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<std::size_t>(length) > text.size()) return std::nullopt;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        if ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
            (length == 4 && (c < 0x10000 || c > 0x10FFFF)))
            return std::nullopt;
        out.push_back(c);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

#include "Utf8.h"

namespace platform {

Utf8Sequence DecodeUtf8At(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {0, 1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return {0, k, false};
        value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    const bool valid = value >= minimum && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
    return {valid ? value : 0, length, valid};
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void Utf8Validator::Feed(unsigned char byte) {
    if (!valid_) return;
    if (pending_ > 0) {
        if (byte < low_ || byte > high_) {
            valid_ = false;
            return;
        }
        low_ = 0x80;
        high_ = 0xBF;
        --pending_;
        return;
    }
    low_ = 0x80;
    high_ = 0xBF;
    if (byte < 0x80) {
        return;
    } else if (byte >= 0xC2 && byte <= 0xDF) {
        pending_ = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        pending_ = 2;
        if (byte == 0xE0) low_ = 0xA0;
        if (byte == 0xED) high_ = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        pending_ = 3;
        if (byte == 0xF0) low_ = 0x90;
        if (byte == 0xF4) high_ = 0x8F;
    } else {
        valid_ = false;
    }
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    // 0x80-0x9F hold the typographic characters.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
    };
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : char32_t{byte});
    }
    return out;
}

}  // namespace platform

// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// Stops the run when an invariant does not hold, so libFuzzer keeps the input
// as a crash artifact. Aborting (rather than throwing) keeps the stack of the
// failed check in the report.
inline void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}

// Inputs that begin with this byte are repeated up to about `target` bytes
// before they are used: marker, one byte of salt, then the text to repeat.
// libFuzzer keeps inputs short; the long ones catch work that grows faster
// than the text (libFuzzer's -timeout stops them) and limits that only long
// texts reach. Long inputs are slow, and the inputs libFuzzer derives from
// one inherit its marker, so only one marked input in oneIn (sixteen unless
// the target says; by a hash of its bytes, the salt lets a seed choose) is
// repeated, which keeps them from taking over the run. A target whose long
// inputs cost far more than its short ones repeats fewer of them.
inline constexpr unsigned char kAmplifyMarker = 0xA5;

inline std::uint32_t Fnv1a(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

inline bool WillAmplify(const std::uint8_t* data, std::size_t size, std::uint32_t oneIn = 16) {
    return size >= 3 && data[0] == kAmplifyMarker && Fnv1a(data, size) % oneIn == 0;
}

inline std::string Amplified(const std::uint8_t* data, std::size_t size, std::size_t target,
                             std::uint32_t oneIn = 16) {
    if (!WillAmplify(data, size, oneIn))
        return std::string(reinterpret_cast<const char*>(data), size);
    const std::string_view unit(reinterpret_cast<const char*>(data + 2), size - 2);
    std::string out;
    out.reserve(target + unit.size());
    while (out.size() < target) out += unit;
    return out;
}

// Whether text is well-formed UTF-8: decoded code point by code point, with
// overlong forms, surrogates and values past U+10FFFF refused.
inline bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        char32_t code;
        char32_t minimum;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace fuzz

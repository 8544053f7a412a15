#include "FileSearch.h"

#include <algorithm>

namespace platform {

namespace {

// Length of the UTF-8 sequence that starts at text[i], so that ? takes a
// whole character; a stray byte counts as one character.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF7) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    return std::min(length, text.size() - i);
}

// * and ? only, with the usual backtracking to the last star.
bool matchStarsAndMarks(std::string_view name, std::string_view pattern) {
    std::size_t i = 0, j = 0;
    std::size_t starAt = std::string_view::npos, resumeAt = 0;
    while (i < name.size()) {
        if (j < pattern.size() && pattern[j] == '*') {
            starAt = j++;
            resumeAt = i;
        } else if (j < pattern.size() && pattern[j] == '?') {
            i += sequenceLength(name, i);
            ++j;
        } else if (j < pattern.size() && pattern[j] == name[i]) {
            ++i;
            ++j;
        } else if (starAt != std::string_view::npos) {
            // Let the last star take one more character and try again.
            resumeAt += sequenceLength(name, resumeAt);
            i = resumeAt;
            j = starAt + 1;
        } else {
            return false;
        }
    }
    while (j < pattern.size() && pattern[j] == '*') ++j;
    return j == pattern.size();
}

}  // namespace

bool HasWildcards(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

bool WildcardMatch(std::string_view name, std::string_view pattern) {
    if (name == "." || name == "..") return false;
    if (matchStarsAndMarks(name, pattern)) return true;
    // "x.*": the dot and its stars may also stand for "no extension at all".
    const std::size_t dot = pattern.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == pattern.size()) return false;
    if (pattern.find_first_not_of('*', dot + 1) != std::string_view::npos) return false;
    return matchStarsAndMarks(name, pattern.substr(0, dot));
}

}  // namespace platform

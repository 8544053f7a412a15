#include "FileSearch.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

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

#ifndef _WIN32
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;
#endif

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

SplitPath SplitLastComponent(const std::string& path) {
#ifdef _WIN32
    // Either separator; a drive's root keeps its own ("C:\").
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return {".", path};
    if (slash == 0 || (slash == 2 && path[1] == ':'))
        return {path.substr(0, slash + 1), path.substr(slash + 1)};
#else
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    if (slash == 0) return {"/", path.substr(1)};
#endif
    return {path.substr(0, slash), path.substr(slash + 1)};
}

// Windows searches with its own calls (FileSearchWin32.cpp).
#ifndef _WIN32
int ListMatches(const std::string& directory, std::string_view pattern, std::vector<std::string>& names,
                std::size_t limit) {
    DirHandle dir(opendir(directory.c_str()));
    if (!dir) return errno;
    std::size_t found = 0;
    while (found < limit) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) return errno;
        if (WildcardMatch(entry->d_name, pattern)) {
            names.emplace_back(entry->d_name);
            ++found;
        }
    }
    return 0;
}

bool FindFirstMatch(const std::string& pattern) {
    if (pattern.empty()) return false;
    const SplitPath split = SplitLastComponent(pattern);
    if (!HasWildcards(split.name)) {
        // A plain name: does the entry exist? A dangling link is an entry
        // too, as a listing of its directory would show it.
        struct stat info;
        return lstat(pattern.c_str(), &info) == 0;
    }
    std::vector<std::string> names;
    return ListMatches(split.directory, split.name, names, 1) == 0 && !names.empty();
}
#endif

}  // namespace platform

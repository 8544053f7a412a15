// First-match directory search, with the wildcards * and ? in the last path
// component, matching files and directories alike.
//
// Wildcards follow what a Windows user expects of a file search, on the
// names as they are stored (case-sensitive on systems whose file names are):
//   *   any run of characters, dots included, so "*" also finds dot-files;
//   ?   exactly one character (a whole UTF-8 sequence, not one byte);
//   a pattern that ends in "." followed only by stars ("*.*", "rel*.*",
//   "nome.*") also finds names without that dot, so "*.*" finds every entry.
// "." and ".." are never matched. Wildcards in the directory part are not
// expanded: the directory is taken literally.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// True when at least one entry matches pattern. Any failure (missing
// directory, unreadable directory, invalid pattern) is false; nothing stays
// open afterwards.
bool FindFirstMatch(const std::string& pattern);

// A path split at its last separator: the directory to search ("." when the
// path has none, "/" for an entry of the root) and the last component.
struct SplitPath {
    std::string directory;
    std::string name;
};
SplitPath SplitLastComponent(const std::string& path);

// True when name holds * or ?.
bool HasWildcards(std::string_view name);

// True when name matches pattern under the rules above.
bool WildcardMatch(std::string_view name, std::string_view pattern);

// Appends to names every entry of directory (but "." and "..") that
// pattern matches, at most limit of them. Returns 0, or the system's error
// (errno, or a Windows error code) for a directory that cannot be opened or
// read.
int ListMatches(const std::string& directory, std::string_view pattern, std::vector<std::string>& names,
                std::size_t limit = static_cast<std::size_t>(-1));

}  // namespace platform

// File search on a POSIX system: directory listings and lstat.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "FileSearch.h"

namespace platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

}  // namespace

SplitPath SplitLastComponent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    if (slash == 0) return {"/", path.substr(1)};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

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

}  // namespace platform

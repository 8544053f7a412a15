// The file search on Windows: the system's own FindFirstFileW, whose
// wildcards are the ones the host product's users know.
#include <windows.h>

#include "FileSearch.h"
#include "WideText.h"

namespace platform {

SplitPath SplitLastComponent(const std::string& path) {
    // Either separator; a drive's root keeps its own ("C:\").
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return {".", path};
    if (slash == 0 || (slash == 2 && path[1] == ':'))
        return {path.substr(0, slash + 1), path.substr(slash + 1)};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

bool FindFirstMatch(const std::string& pattern) {
    if (pattern.empty()) return false;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(WideFromUtf8(pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

int ListMatches(const std::string& directory, std::string_view pattern, std::vector<std::string>& names,
                std::size_t limit) {
    std::wstring all = WideFromUtf8(directory);
    if (!all.empty() && all.back() != L'\\' && all.back() != L'/' && all.back() != L':') all += L'\\';
    all += L'*';
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(all.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(error);
    }
    std::size_t found = 0;
    int result = 0;
    do {
        const std::string name = Utf8FromWide(data.cFileName);
        if (WildcardMatch(name, pattern)) {
            names.push_back(name);
            ++found;
        }
        if (found >= limit) break;
        if (!FindNextFileW(search, &data)) {
            const DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_FILES) result = static_cast<int>(error);
            break;
        }
    } while (true);
    FindClose(search);
    return result;
}

}  // namespace platform

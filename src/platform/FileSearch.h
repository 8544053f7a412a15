// First-match directory search, with the wildcards * and ? in the last path
// component, matching files and directories alike.
#pragma once

#include <string>

namespace platform {

// True when at least one entry matches pattern. Any failure (missing
// directory, unreadable directory, invalid pattern) is false; nothing stays
// open afterwards.
bool FindFirstMatch(const std::string& pattern);

}  // namespace platform

#include "FileSearch.h"
namespace platform {
bool FindFirstMatch(const std::string&) { return false; }
}  // namespace platform

#include "WindowsDirectory.h"
namespace platform {
unsigned GetWindowsDirectoryA(char*, unsigned) { return 0; }
}  // namespace platform

// UTF-8 text as the Windows wide (W) functions take it, and back. The
// program keeps all text as UTF-8 and converts at each call of the system,
// never through the ANSI code page. Neither direction fails: invalid input
// becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace platform

// UTF-8 <-> UTF-16 conversion for the ODBC wide API and the Windows wide calls.
//
// The program keeps all text as UTF-8; the ODBC driver manager's wide
// functions take and give UTF-16 (SQLWCHAR is 16 bits wide with unixODBC and
// on Windows). Neither direction ever fails: a byte sequence that is not valid
// UTF-8 and an unpaired surrogate each become U+FFFD, so text from a driver or
// from a configuration file can never make the conversion misbehave.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace platform

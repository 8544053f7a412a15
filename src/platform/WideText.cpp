#include "WideText.h"

#include "Utf16.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide functions take UTF-16");

namespace platform {

std::wstring WideFromUtf8(std::string_view text) {
    const std::u16string utf16 = Utf8ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Utf8FromWide(std::wstring_view text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace platform

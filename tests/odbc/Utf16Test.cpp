// UTF-8 <-> UTF-16 for the ODBC wide API.
#include <gtest/gtest.h>

#include <string>

#include "Utf16.h"

namespace {

TEST(Utf16, RoundTripsValidText) {
    const char* texts[] = {
        "",
        "Número_Exame",
        "Exame_Página ção ÂÉÎÕÜ",
        "\xF0\x9F\x98\x80 emoji \xF0\x9F\x8F\xA5",  // U+1F600, U+1F3E5: surrogate pairs
        "\xEF\xBF\xBF \xE0\xA0\x80 \xC2\x80",       // U+FFFF, U+0800, U+0080: edges of each length
        "\xF4\x8F\xBF\xBF",                         // U+10FFFF
    };
    for (const char* text : texts) EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)), text) << text;
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16(withNul)), withNul);
}

TEST(Utf16, EncodesSurrogatePairs) {
    EXPECT_EQ(platform::Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
    EXPECT_EQ(platform::Utf8ToUtf16("é"), u"\x00E9");
    EXPECT_EQ(platform::Utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(Utf16, InvalidUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::u16string expected;
    } cases[] = {
        {"a\xFF"
         "b",
         u"a\xFFFD"
         "b"},                  // byte that never starts a sequence
        {"\x80", u"\xFFFD"},    // lone continuation
        {"\xC3", u"\xFFFD"},    // truncated at the end
        {"\xC3(", u"\xFFFD("},  // truncated, next character kept
        {"\xE2\x82(", u"\xFFFD("},
        {"\xC0\xAF", u"\xFFFD\xFFFD"},    // overlong "/"
        {"\xE0\x80\xAF", u"\xFFFD"},      // overlong, three bytes
        {"\xED\xA0\x80", u"\xFFFD"},      // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xFFFD"},  // above U+10FFFF
        {"\xF5\x80", u"\xFFFD\xFFFD"},
        {"\xE9t\xE9", u"\xFFFDt\xFFFD"},  // Windows-1252 "été"
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.expected) << c.utf8;
}

TEST(Utf16, UnpairedSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(platform::Utf16ToUtf8(u"a\xD83D"), "a\xEF\xBF\xBD");
    EXPECT_EQ(platform::Utf16ToUtf8(u"\xDE00z"), "\xEF\xBF\xBDz");
    EXPECT_EQ(platform::Utf16ToUtf8(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

}  // namespace

// ReadJson builds its document itself: it must give what
// ordered_json::parse gives, wherever a builder of its own could go wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "JsonText.h"

namespace {

using nlohmann::ordered_json;

TEST(JsonText, ReadsWhatParseReads) {
    const std::string deep = std::string(1000, '[') + "{\"a\":[]}" + std::string(1000, ']');
    const std::vector<std::string> texts = {
        R"({"a":1,"b":[true,false,null,-2,18446744073709551615,1.5e300,"x"],"c":{},"d":[]})",
        R"({"k":1,"j":2,"k":{"z":[1],"z":[2,{"k":3,"k":4}]}})",  // keys given twice, at every level
        "\xEF\xBB\xBF [ {} , [ [ ] ] , \"\\u00e9\\ud83d\\ude00 a string longer than fifteen\" ]\r\n",
        "7",
        "\"text\"",
        deep,
        // No JSON: nothing, a value followed by more, cut short, malformed.
        "",
        " \n",
        "{\"a\":1}x",
        "{\"a\":1}\n{\"b\":2}\n",
        "[1,{\"a\":[2,3]",
        "{\"a\" 1}",
        "\"\\ud800\"",
        "[nul]",
    };
    for (const std::string& text : texts) {
        const ordered_json expected = ordered_json::parse(text, nullptr, false);
        const ordered_json read = removal::ReadJson(text);
        ASSERT_EQ(read.is_discarded(), expected.is_discarded()) << text;
        if (!expected.is_discarded()) {
            EXPECT_EQ(read.dump(), expected.dump()) << text;
        }
    }
}

}  // namespace

// Fuzz target: the reader of lists of numbers (--lista).
//
// Each input is fed to the parser in pieces whose sizes the input chooses,
// so byte-order marks, CR LF pairs and UTF-16 code units split across pieces
// are all reached, in memory, with no file. What it hands on is compared
// with a model written here from the description of the format: the
// byte-order mark, the lines and their ends, the skipped lines, the bounds
// on a line's length and on the number of lines, and the encoding.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "NumberList.h"
#include "Utf8.h"

namespace {

using Error = app::NumberListParser::Error;

struct Expected {
    std::vector<std::string> numbers;
    Error error = Error::None;
    std::uint64_t errorLine = 0;
    bool utf8 = true;
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6), out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12), out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18), out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F)), out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

Expected model(const std::string& bytes, std::size_t maxLineBytes, std::uint64_t maxLines) {
    Expected expected;
    // The list's text as it is handed on: UTF-16 converted to UTF-8, any
    // other list as it is after a UTF-8 mark. CR and LF bytes in it are line
    // ends in either case. An invalid UTF-16 text ends it early.
    std::string text;
    bool invalid = false;
    const bool utf16 =
        bytes.size() >= 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0);
    if (utf16) {
        const bool bigEndian = bytes[0] == '\xFE';
        std::vector<char16_t> units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            units.push_back(static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a));
        }
        std::size_t i = 0;
        for (; i < units.size(); ++i) {
            const char16_t u = units[i];
            if (u >= 0xDC00 && u <= 0xDFFF) break;
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) break;
                appendUtf8(text, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (units[i + 1] - 0xDC00));
                ++i;
            } else {
                appendUtf8(text, u);
            }
        }
        invalid = i < units.size() || bytes.size() % 2 != 0;
    } else {
        text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
        expected.utf8 = fuzz::IsUtf8(text);
    }

    std::uint64_t lines = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != '\r' && text[i] != '\n') {
            if (i - start + 1 > maxLineBytes) {
                expected.error = Error::LineTooLong, expected.errorLine = lines + 1;
                return expected;
            }
            continue;
        }
        if (end && invalid) {
            expected.error = Error::InvalidUtf16, expected.errorLine = lines + 1;
            return expected;
        }
        if (end && i == start) break;  // no last line without a line end
        if (++lines > maxLines) {
            expected.error = Error::TooManyLines, expected.errorLine = lines;
            return expected;
        }
        const std::string_view line = std::string_view(text).substr(start, i - start);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] != '#') expected.numbers.emplace_back(line);
        if (!end && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A repeated text reaches the list's own bound on a line's length. The
    // bounds' logic is reached by short inputs too: half of them get bounds
    // of a few bytes and lines (a list of a million lines is left to the
    // unit test, as it would slow every run down).
    const std::string bytes = fuzz::Amplified(data, size, 8 << 10);
    const std::uint32_t seed = fuzz::Fnv1a(data, size);
    const bool small = bytes.size() == size && (seed & 1) != 0;
    const std::size_t maxLineBytes = small ? 1 + (seed >> 1) % 32 : app::kMaxListLineBytes;
    const std::uint64_t maxLines = small ? 1 + (seed >> 6) % 32 : app::kMaxListLines;
    const Expected expected = model(bytes, maxLineBytes, maxLines);

    std::vector<std::string> numbers;
    app::NumberListParser parser([&](std::string_view number) { numbers.emplace_back(number); }, maxLineBytes,
                                 maxLines);
    // Pieces of 1 to 16 bytes for a short input, larger ones for a long one.
    const std::size_t unit = bytes.size() > 4096 ? 64 : 1;
    bool fed = true;
    for (std::size_t at = 0, k = 0; at < bytes.size(); ++k) {
        const std::size_t piece = unit * (1 + (seed >> (k % 28) & 15));
        fed = parser.Feed(std::string_view(bytes).substr(at, piece)) && fed;
        at += piece;
    }
    const bool finished = parser.Finish();

    fuzz::Check(parser.error() == expected.error, "the list breaks the bound the model says, or none");
    fuzz::Check(finished == (expected.error == Error::None), "Finish says whether the list can be used");
    if (expected.error != Error::None) {
        fuzz::Check(parser.errorLine() == expected.errorLine, "the refusal names the line the model says");
        return 0;
    }
    fuzz::Check(fed, "a list that can be used is fed without a refusal");
    fuzz::Check(numbers == expected.numbers, "the numbers are the model's lines that are not skipped");
    fuzz::Check(parser.Utf8() == expected.utf8,
                "UTF-8 exactly when the whole list is (UTF-16 becomes UTF-8)");
    for (const std::string& number : numbers) {
        const std::string decoded = app::NumberListParser::Decode(number, parser.Utf8());
        fuzz::Check(fuzz::IsUtf8(decoded), "every number reaches the database as UTF-8");
        fuzz::Check(decoded.find_first_of("\r\n") == std::string::npos, "no number holds a line end");
    }
    return 0;
}

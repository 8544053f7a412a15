// Lists of examination numbers (--lista): one number a line, exactly as
// written but for the line end.
//
// A line ends at CR LF, LF or a lone CR. Blank lines and lines whose first
// character other than space and tab is # are skipped. The text is decoded
// as the configuration file is: UTF-8 when the whole list is valid UTF-8
// (a byte-order mark is skipped), otherwise Windows-1252; a list that starts
// with a UTF-16 byte-order mark (little- or big-endian) is UTF-16.
//
// A list is bounded so that an endless source (a device, a pipe that never
// ends) is refused rather than read until memory runs out: at most
// kMaxListLines lines of at most kMaxListLineBytes bytes each (as UTF-8 for
// a UTF-16 list).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "RegularFile.h"
#include "Utf8.h"

namespace app {

inline constexpr std::size_t kMaxListLineBytes = 4096;
inline constexpr std::uint64_t kMaxListLines = 1000000;

// Splits one list into its numbers as its bytes arrive, in pieces of any
// size. Memory stays bounded by one line whatever the list holds.
class NumberListParser {
public:
    enum class Error { None, LineTooLong, TooManyLines, InvalidUtf16 };

    // onNumber receives each number as written: UTF-8 for a UTF-16 list, the
    // list's own bytes otherwise (see Utf8 and Decode). The bounds are the
    // list's, other ones only for tests.
    explicit NumberListParser(std::function<void(std::string_view)> onNumber,
                              std::size_t maxLineBytes = kMaxListLineBytes,
                              std::uint64_t maxLines = kMaxListLines);

    // False once the list has broken a bound or is not valid UTF-16; what
    // follows is then ignored.
    bool Feed(std::string_view bytes);
    // The end of the list: the last line needs no line end.
    bool Finish();

    Error error() const { return error_; }
    std::uint64_t errorLine() const { return errorLine_; }  // 1 for the first line

    // After Finish: whether the numbers handed on are UTF-8 as they are;
    // when not, they are Windows-1252 and Decode converts them.
    bool Utf8() const { return utf16_ || utf8_.Valid(); }
    static std::string Decode(std::string_view number, bool utf8);

private:
    bool detectEncoding(bool atEnd);
    void feedByte(unsigned char byte);
    void feedCodeUnit(char16_t unit);
    void feedCharacter(char32_t character, unsigned char byte);
    void endLine();
    void fail(Error error, std::uint64_t line);

    std::function<void(std::string_view)> onNumber_;
    std::size_t maxLineBytes_;
    std::uint64_t maxLines_;
    std::string start_;  // the first bytes, until the byte-order mark is known
    bool started_ = false;
    bool utf16_ = false, bigEndian_ = false;
    int pendingByte_ = -1;  // the first byte of a UTF-16 code unit
    char16_t highSurrogate_ = 0;
    platform::Utf8Validator utf8_;
    std::string line_;
    bool afterCarriageReturn_ = false;
    std::uint64_t lines_ = 0;
    Error error_ = Error::None;
    std::uint64_t errorLine_ = 0;
};

// The numbers of a command line in the order given, --exame values and
// lists alike. Each list is read to its end and checked before anything
// runs; its numbers wait in a scratch file, so that memory does not grow
// with the list.
class NumberQueue {
public:
    void AddNumber(std::string number);
    // Reads a list ("-" for standardInput); false after saying on err why
    // it cannot be used.
    bool AddList(const std::string& name, std::istream& standardInput, std::ostream& err);

    std::size_t size() const { return total_; }
    // The next number, once everything is added; false when the scratch
    // file cannot be read back (number is then empty).
    bool Next(std::string& number);

private:
    struct Segment {
        bool list;
        std::size_t count;   // of a list: its numbers in the scratch file
        bool utf8;           // of a list
        std::string number;  // a --exame value
    };
    std::vector<Segment> segments_;
    platform::FileHandle spool_;
    std::size_t total_ = 0;
    std::size_t segment_ = 0, taken_ = 0;
    bool reading_ = false;
};

}  // namespace app

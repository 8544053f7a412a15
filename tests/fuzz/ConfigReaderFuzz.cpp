// Fuzz target: the configuration file reader.
//
// Each input is written to a file that LerConfiguração then reads, so the
// whole path runs: the 64 KiB read buffer and its refills, the byte-order
// mark, CR, LF and CR LF line ends split across refills, the encoding guess
// and the bound on line length. The file lives in memory and serves every
// input (a file on disk, rewritten for each input, had the run wait on the
// disk). The settings it fills are compared with a model of the file written
// here from the description of the format: the lines, the last line that
// sets each key, and the encoding.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "FuzzCheck.h"
#include "Module1.h"
#include "RuntimeError.h"

namespace {

// The file every input is written to: a memory file, opened by its name
// under /proc/self/fd as the reader opens any file.
int gFile = -1;
std::string gPath;

void writeFile(const std::string& bytes) {
    fuzz::Check(::ftruncate(gFile, 0) == 0, "the input file can be emptied");
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t n =
            ::pwrite(gFile, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        fuzz::Check(n > 0, "the input file is written");
        written += static_cast<std::size_t>(n);
    }
}

struct Line {
    std::string text;
    bool tooLong;  // longer than the reader keeps; text holds what it keeps
};

constexpr std::size_t kMaxLine = std::size_t{1} << 20;

// The lines of the file: a UTF-8 byte-order mark at the start is dropped;
// CR LF, LF and a lone CR end a line; a last line without an end counts when
// it holds anything.
std::vector<Line> splitLines(const std::string& bytes, std::string& body) {
    body = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    std::vector<Line> lines;
    for (std::size_t i = 0; i < body.size();) {
        const std::size_t end = std::min(body.find_first_of("\r\n", i), body.size());
        const std::size_t length = end - i;
        lines.push_back({body.substr(i, std::min(length, kMaxLine)), length > kMaxLine});
        if (end == body.size()) break;
        i = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string trimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool equalsIgnoreAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// RetornarValorChave on one line: what a key's value looks like whatever the
// line holds.
void checkValueOfLine(const std::string& line, const char* key, bool directory, const std::string& value) {
    if (value.empty()) return;
    fuzz::Check(value.front() != ' ' && value.back() != ' ', "a value has no spaces around it");
    fuzz::Check(!directory || value.back() == '\\', "a directory value ends with a backslash");
    const std::size_t equals = line.find('=');
    fuzz::Check(equals != std::string::npos, "only a line with '=' sets a key");
    fuzz::Check(equalsIgnoreAsciiCase(trimSpaces(line.substr(0, equals)), key),
                "the text before the first '=' names the key");
    // A directory value gets its closing backslash before it is trimmed.
    const std::string full = directory && line.back() != '\\' ? line + '\\' : line;
    fuzz::Check(value == trimSpaces(full.substr(equals + 1)), "a value is the text after the first '='");
}

// Windows-1252 to UTF-8 turns each byte into one character and keeps ASCII.
void checkDecoded(const std::string& raw, const std::string& decoded, bool fileIsUtf8) {
    if (fileIsUtf8) {
        fuzz::Check(decoded == raw, "a UTF-8 file's values are kept as they are");
        return;
    }
    fuzz::Check(fuzz::IsUtf8(decoded), "a Windows-1252 value becomes well-formed UTF-8");
    std::size_t position = 0;
    for (char c : raw) {
        fuzz::Check(position < decoded.size(), "each byte becomes one character");
        const auto lead = static_cast<unsigned char>(decoded[position]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (static_cast<unsigned char>(c) < 0x80)
            fuzz::Check(length == 1 && decoded[position] == c, "ASCII stays ASCII");
        else
            fuzz::Check(length > 1, "bytes from 0x80 up become non-ASCII characters");
        position += length;
    }
    fuzz::Check(position == decoded.size(), "nothing but the bytes' characters is produced");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile = ::memfd_create("Quelvomir.INI", MFD_CLOEXEC);
    fuzz::Check(gFile >= 0, "a memory file can be made");
    gPath = "/proc/self/fd/" + std::to_string(gFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Repeated lines need only outgrow the 64 KiB read buffer; a repeated
    // text without a line end makes one line past the 1 MiB bound. A
    // repeated input costs the reader (which reads each line once per key)
    // and the model a hundred times a short one, the line past the bound a
    // thousand, so one marked input in 64 is repeated, and one in 256 when
    // it makes that line.
    const bool oneLine =
        std::find_if(data, data + size, [](std::uint8_t c) { return c == '\r' || c == '\n'; }) == data + size;
    const std::string bytes =
        fuzz::Amplified(data, size, oneLine ? kMaxLine + 4096 : 96 << 10, oneLine ? 256 : 64);
    writeFile(bytes);

    // The model: per key, the value of the last line that sets it; a line
    // sets at most one key (the first in table order); the first such line
    // that is longer than the reader keeps ends the reading with error 7.
    struct Key {
        const char* name;
        bool directory;
        std::string value;
    };
    Key keys[] = {{"CONN_SERVER", false, {}}, {"CONN_LOCAL", false, {}}, {"DIR_SVR", true, {}}};
    // A repeated input holds the same lines over and over: each distinct
    // line is read and checked once, its outcome (the key it sets and the
    // value) kept for the lines that repeat it.
    struct Outcome {
        int key;  // index in keys, or -1 when the line sets none
        std::string value;
    };
    std::unordered_map<std::string, Outcome> seen;
    std::string body;
    bool expectTooLong = false;
    for (const Line& line : splitLines(bytes, body)) {
        auto [at, added] = seen.try_emplace(line.text, Outcome{-1, {}});
        if (added) {
            for (int k = 0; k < 3; ++k) {
                std::string value = Module1::RetornarValorChave(line.text, keys[k].name, keys[k].directory);
                checkValueOfLine(line.text, keys[k].name, keys[k].directory, value);
                if (value.empty()) continue;
                at->second = {k, std::move(value)};
                break;
            }
        }
        if (at->second.key < 0) continue;
        keys[at->second.key].value = at->second.value;
        if (line.tooLong) expectTooLong = true;
        if (expectTooLong) break;
    }

    Module1::gConnServer = Module1::gConnLocal = Module1::gDirSvr = "untouched";
    try {
        fuzz::Check(Module1::LerConfiguração(gPath), "reading a readable file succeeds");
    } catch (const platform::RuntimeError& error) {
        fuzz::Check(expectTooLong && error.number() == platform::rt::OutOfMemory,
                    "only a key line longer than 1 MiB stops the reading (error 7)");
        return 0;
    }
    fuzz::Check(!expectTooLong, "a key line longer than 1 MiB stops the reading");

    const bool utf8 = fuzz::IsUtf8(body);
    checkDecoded(keys[0].value, Module1::gConnServer, utf8);
    checkDecoded(keys[1].value, Module1::gConnLocal, utf8);
    checkDecoded(keys[2].value, Module1::gDirSvr, utf8);
    return 0;
}

// Stream buffers on a Windows console. The program's text is UTF-8; on a
// console it is written with WriteConsoleW and read with ReadConsoleW, so
// what the console shows, and what is typed in it, does not depend on the
// console's code page, and no character is ever split between two writes.
// Redirected handles never come here: they take the bytes unchanged.
#pragma once

#include <windows.h>

#include <streambuf>
#include <string>
#include <string_view>

namespace win32 {

// Writes on sync (an ostream with unitbuf syncs after each output) and when
// much is pending; an incomplete character at the end waits for its rest.
class ConsoleOutputBuffer : public std::streambuf {
public:
    explicit ConsoleOutputBuffer(HANDLE console) : console_(console) {}
    ~ConsoleOutputBuffer() override;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool write(bool everything);

    HANDLE console_;
    std::string pending_;
};

// Reads what is typed, a line at a time, as UTF-8; Ctrl+Z ends the input.
class ConsoleInputBuffer : public std::streambuf {
public:
    explicit ConsoleInputBuffer(HANDLE console) : console_(console) {}

protected:
    int_type underflow() override;

private:
    HANDLE console_;
    std::string text_;
    bool ended_ = false;
};

// The length of the longest start of text that ends on a whole UTF-8
// character (or on a byte that no character can continue).
std::size_t WholeCharacters(std::string_view text);

}  // namespace win32

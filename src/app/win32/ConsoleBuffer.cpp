#include "ConsoleBuffer.h"

#include <algorithm>

#include "WideText.h"

namespace win32 {

std::size_t WholeCharacters(std::string_view text) {
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

ConsoleOutputBuffer::~ConsoleOutputBuffer() {
    write(true);
}

ConsoleOutputBuffer::int_type ConsoleOutputBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    return c;
}

std::streamsize ConsoleOutputBuffer::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    if (pending_.size() >= 16384 && !write(false)) return 0;
    return count;
}

int ConsoleOutputBuffer::sync() {
    return write(false) ? 0 : -1;
}

bool ConsoleOutputBuffer::write(bool everything) {
    const std::size_t whole = everything ? pending_.size() : WholeCharacters(pending_);
    const std::wstring wide = platform::WideFromUtf8(std::string_view(pending_).substr(0, whole));
    pending_.erase(0, whole);
    for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        const auto count = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        if (!WriteConsoleW(console_, wide.data() + done, count, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

ConsoleInputBuffer::int_type ConsoleInputBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (ended_) return traits_type::eof();
    wchar_t typed[4096];
    DWORD count = 0;
    if (!ReadConsoleW(console_, typed, 4096, &count, nullptr) || count == 0) {
        ended_ = true;
        return traits_type::eof();
    }
    text_ = platform::Utf8FromWide(std::wstring_view(typed, count));
    const std::size_t end = text_.find('\x1A');
    if (end != std::string::npos) {
        text_.erase(end);
        ended_ = true;
        if (text_.empty()) return traits_type::eof();
    }
    setg(text_.data(), text_.data(), text_.data() + text_.size());
    return traits_type::to_int_type(*gptr());
}

}  // namespace win32

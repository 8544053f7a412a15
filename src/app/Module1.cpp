#include "Module1.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "RuntimeError.h"
#include "Utf8.h"
#ifdef _WIN32
#include "WideText.h"
#endif
#include "WindowsDirectory.h"

namespace Module1 {

std::string gDirWindows;
std::string gConnServer;
std::string gConnLocal;
std::string gDirSvr;
std::string gRemoverCopias;

namespace {

// Trim of the configuration reader: the space character only, never tabs.
std::string trimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// Upper case of the ASCII letters. The keys are ASCII, so nothing beyond them
// can decide whether a line sets a key.
std::string upperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

[[noreturn]] void throwFileError(const std::string& path, const char* what, int errnoValue) {
    const std::int32_t number = platform::RuntimeErrorFromErrno(errnoValue);
    const std::string detail =
        "LerConfiguração: " + std::string(what) + " '" + path + "': " + std::strerror(errnoValue);
    std::cerr << detail << '\n';
    throw platform::RuntimeError(number, detail);
}

// Whole-file UTF-8 check, fed one byte at a time (well-formed sequences only:
// no overlong forms, no surrogates, nothing past U+10FFFF).
class Utf8Check {
public:
    void feed(unsigned char byte) {
        if (!valid_) return;
        if (pending_ > 0) {
            if (byte < low_ || byte > high_) {
                valid_ = false;
                return;
            }
            low_ = 0x80;
            high_ = 0xBF;
            --pending_;
            return;
        }
        low_ = 0x80;
        high_ = 0xBF;
        if (byte < 0x80) {
            return;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            pending_ = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            pending_ = 2;
            if (byte == 0xE0) low_ = 0xA0;
            if (byte == 0xED) high_ = 0x9F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            pending_ = 3;
            if (byte == 0xF0) low_ = 0x90;
            if (byte == 0xF4) high_ = 0x8F;
        } else {
            valid_ = false;
        }
    }
    bool valid() const { return valid_ && pending_ == 0; }

private:
    bool valid_ = true;
    int pending_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

// Windows-1252 to UTF-8. 0x80-0x9F hold the typographic characters; the five
// positions that code page leaves unassigned map to the C1 controls of the
// same value, as Windows' own conversion does.
std::string fromWindows1252(const std::string& bytes) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
    };
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        platform::AppendUtf8(out, byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : char32_t{byte});
    }
    return out;
}

// Larger than any configuration file the host product writes (a few
// kilobytes): a bigger file is refused at once rather than read to its end,
// which for a sparse file of a terabyte would take hours.
constexpr std::uint64_t kMaxConfigurationSize = std::uint64_t{16} << 20;

[[noreturn]] void throwTooLarge(const std::string& path) {
    const std::string detail =
        "LerConfiguração: '" + path + "' é grande demais para um arquivo de configuração";
    std::cerr << detail << '\n';
    throw platform::RuntimeError(platform::rt::PathFileAccessError, detail);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Opens path for reading when it is a regular file. Anything else that can
// stand in the file's place is refused as a file-access error rather than
// read: a directory, a named pipe (opening it would wait for a writer for
// ever) or a device (an endless one would never reach its end).
std::unique_ptr<std::FILE, FileCloser> openRegularFile(const std::string& path) {
#ifdef _WIN32
    // The wide calls: a name with an accent must not go through the ANSI code page.
    const std::wstring wide = platform::WideFromUtf8(path);
    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(wide.c_str(), L"rb"));
    if (!file) throwFileError(path, "não foi possível abrir", errno);
    std::error_code ec;
    if (std::filesystem::file_size(std::filesystem::path(wide), ec) > kMaxConfigurationSize && !ec)
        throwTooLarge(path);
    return file;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throwFileError(path, "não foi possível abrir", errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throwFileError(path, "não foi possível examinar", error);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        const std::string detail = "LerConfiguração: '" + path + "' não é um arquivo comum";
        std::cerr << detail << '\n';
        throw platform::RuntimeError(platform::rt::PathFileAccessError, detail);
    }
    if (static_cast<std::uint64_t>(status.st_size) > kMaxConfigurationSize) {
        ::close(fd);
        throwTooLarge(path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        const int error = errno;
        ::close(fd);
        throwFileError(path, "não foi possível abrir", error);
    }
    return file;
#endif
}

// Reads the configuration file line by line. A line ends at CR LF, LF or a
// lone CR; a UTF-8 byte-order mark at the start is skipped; NUL is an
// ordinary character. Memory stays bounded by kMaxLine whatever the file
// holds: a longer line keeps its first kMaxLine bytes and says so.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 1 << 20;

    explicit LineReader(const std::string& path) : path_(path), file_(openRegularFile(path)) {}

    bool next(std::string& line, bool& truncated) {
        line.clear();
        truncated = false;
        bool any = false;
        for (;;) {
            if (position_ == filled_ && !refill()) return any;
            const auto byte = static_cast<unsigned char>(buffer_[position_++]);
            utf8_.feed(byte);
            if (afterCarriageReturn_) {
                afterCarriageReturn_ = false;
                if (byte == '\n') continue;  // the LF of a CR LF pair
            }
            if (byte == '\r' || byte == '\n') {
                afterCarriageReturn_ = byte == '\r';
                return true;
            }
            any = true;
            if (line.size() < kMaxLine) {
                line += static_cast<char>(byte);
            } else {
                truncated = true;
            }
        }
    }

    // Whether every byte read so far (the mark excluded) is well-formed UTF-8.
    bool validUtf8() const { return utf8_.valid(); }

private:
    bool refill() {
        if (std::feof(file_.get())) return false;
        filled_ = std::fread(buffer_, 1, sizeof buffer_, file_.get());
        position_ = 0;
        if (std::ferror(file_.get())) throwFileError(path_, "erro ao ler", errno);
        // A file that keeps growing while it is read.
        if ((total_ += filled_) > kMaxConfigurationSize) throwTooLarge(path_);
        if (atStart_) {
            atStart_ = false;
            if (filled_ >= 3 && std::memcmp(buffer_, "\xEF\xBB\xBF", 3) == 0) position_ = 3;
        }
        return position_ < filled_;
    }

    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    char buffer_[1 << 16];
    std::size_t filled_ = 0;
    std::size_t position_ = 0;
    std::uint64_t total_ = 0;
    bool atStart_ = true;
    bool afterCarriageReturn_ = false;
    Utf8Check utf8_;
};

struct KeyEntry {
    std::string value;
    const char* key;
    bool directory;
};

}  // namespace

std::string RetornarDiretórioWindows() {
    constexpr unsigned kSize = 255;
    std::string buffer(kSize, ' ');
    if (platform::GetWindowsDirectoryA(buffer.data(), kSize) == 0) {
        const std::string detail = "RetornarDiretórioWindows: o diretório do Windows não pôde ser obtido";
        std::cerr << detail << '\n';
        throw platform::RuntimeError(platform::rt::PathNotFound, detail);
    }
    std::string directory = trimSpaces(buffer);
    if (!directory.empty() && directory.back() == '\0') directory.pop_back();
    if (directory.empty() || directory.back() != platform::kPathSeparator)
        directory += platform::kPathSeparator;
#ifdef _WIN32
    directory = upperAscii(directory);
#endif
    // Elsewhere file names are case-sensitive: the directory keeps its case.
    return directory;
}

bool LerConfiguração(const std::string& Arquivo) {
    KeyEntry table[] = {
        {"", "CONN_SERVER", false},
        {"", "CONN_LOCAL", false},
        {"", "DIR_SVR", true},
        {"", "REMOVER_COPIAS", false},
    };

    // The keys and the characters that decide a match ("=", space, "\") are
    // ASCII, so a line sets the same key whatever the file's encoding turns
    // out to be. The lines are matched as read; the values found are decoded
    // once the whole file has shown whether it is UTF-8.
    LineReader reader(Arquivo);
    std::string line;
    bool truncated = false;
    while (reader.next(line, truncated)) {
        for (KeyEntry& entry : table) {
            std::string value = RetornarValorChave(line, entry.key, entry.directory);
            if (value.empty()) continue;
            if (truncated) {
                const std::string detail = "LerConfiguração: linha longa demais em '" + Arquivo + "'";
                std::cerr << detail << '\n';
                throw platform::RuntimeError(platform::rt::OutOfMemory, detail);
            }
            entry.value = std::move(value);
            break;
        }
    }

    const bool utf8 = reader.validUtf8();
    auto decoded = [utf8](const std::string& value) { return utf8 ? value : fromWindows1252(value); };
    gConnServer = decoded(table[0].value);
    gConnLocal = decoded(table[1].value);
    gDirSvr = decoded(table[2].value);
    gRemoverCopias = decoded(table[3].value);
    return true;
}

std::string RetornarValorChave(std::string Linha, const std::string& Chave, bool Diretório) {
    if (Diretório && (Linha.empty() || Linha.back() != '\\')) Linha += '\\';
    const std::size_t equals = Linha.find('=');
    const std::string candidate = equals == std::string::npos ? std::string() : Linha.substr(0, equals);
    if (upperAscii(trimSpaces(candidate)) != upperAscii(Chave)) return {};
    return trimSpaces(equals == std::string::npos ? Linha : Linha.substr(equals + 1));
}

}  // namespace Module1

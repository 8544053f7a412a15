#include "Module1.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Diagnostics.h"
#include "RegularFile.h"
#include "RuntimeError.h"
#include "TextCase.h"
#include "Utf8.h"
#include "WindowsDirectory.h"

namespace Module1 {

std::string gDirWindows;
std::string gConnServer;
std::string gConnLocal;
std::string gDirSvr;
bool gAuditoriaEstrita = false;
std::string gRemoverCopias;

namespace {

// Trim of the configuration reader: the space character only, never tabs.
std::string trimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// Tells the IT person what stopped the reader, and throws it as the run-time
// error whose description says the same.
[[noreturn]] void fail(std::int32_t number, const char* where, const std::string& text) {
    platform::Diagnose(where, text);
    throw platform::RuntimeError(number, std::string(where) + ": " + text);
}

constexpr const char* kReader = "LerConfiguração";

[[noreturn]] void throwFileError(const std::string& path, const char* what, int errnoValue) {
    const std::int32_t number = platform::RuntimeErrorFromErrno(errnoValue);
    fail(number, kReader, std::string(what) + " '" + path + "': " + std::strerror(errnoValue));
}

// Larger than any configuration file the host product writes (a few
// kilobytes): a bigger file is refused at once rather than read to its end,
// which for a sparse file of a terabyte would take hours.
constexpr std::uint64_t kMaxConfigurationSize = std::uint64_t{16} << 20;

[[noreturn]] void throwTooLarge(const std::string& path) {
    fail(platform::rt::PathFileAccessError, kReader,
         "'" + path + "' é grande demais para um arquivo de configuração");
}

// Opens path for reading when it is a regular file. Anything else that can
// stand in the file's place is refused as a file-access error rather than
// read: a directory, a named pipe (opening it would wait for a writer for
// ever) or a device (an endless one would never reach its end).
platform::FileHandle openRegularFile(const std::string& path) {
    platform::RegularFile opened = platform::OpenRegularFile(path, kMaxConfigurationSize);
    using Failure = platform::RegularFile::Failure;
    switch (opened.failure) {
        case Failure::None:
            break;
        case Failure::CannotOpen:
            throwFileError(path, "não foi possível abrir", opened.error);
        case Failure::CannotExamine:
            throwFileError(path, "não foi possível examinar", opened.error);
        case Failure::NotRegular: {
            fail(platform::rt::PathFileAccessError, kReader, "'" + path + "' não é um arquivo comum");
        }
        case Failure::TooLarge:
            throwTooLarge(path);
    }
    return std::move(opened.file);
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
            utf8_.Feed(byte);
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
    bool validUtf8() const { return utf8_.Valid(); }

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
    platform::FileHandle file_;
    char buffer_[1 << 16];
    std::size_t filled_ = 0;
    std::size_t position_ = 0;
    std::uint64_t total_ = 0;
    bool atStart_ = true;
    bool afterCarriageReturn_ = false;
    platform::Utf8Validator utf8_;
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
        fail(platform::rt::PathNotFound, "RetornarDiretórioWindows",
             "o diretório do Windows não pôde ser obtido");
    }
    std::string directory = trimSpaces(buffer);
    if (!directory.empty() && directory.back() == '\0') directory.pop_back();
    if (directory.empty() || directory.back() != platform::kPathSeparator)
        directory += platform::kPathSeparator;
    // Where file names are case-sensitive the directory keeps its case.
    if (platform::kFileNamesIgnoreCase) directory = platform::UpperAscii(directory);
    return directory;
}

bool LerConfiguração(const std::string& Arquivo) {
    KeyEntry table[] = {
        {"", "CONN_SERVER", false},
        {"", "CONN_LOCAL", false},
        {"", "DIR_SVR", true},
        {"", "AUDITORIA_ESTRITA", false},
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
                fail(platform::rt::OutOfMemory, kReader, "linha longa demais em '" + Arquivo + "'");
            }
            entry.value = std::move(value);
            break;
        }
    }

    const bool utf8 = reader.validUtf8();
    auto decoded = [utf8](const std::string& value) {
        return utf8 ? value : platform::Windows1252ToUtf8(value);
    };
    gConnServer = decoded(table[0].value);
    gConnLocal = decoded(table[1].value);
    gDirSvr = decoded(table[2].value);
    gAuditoriaEstrita = !table[3].value.empty() && table[3].value != "0";
    gRemoverCopias = decoded(table[4].value);
    return true;
}

std::string RetornarValorChave(std::string Linha, const std::string& Chave, bool Diretório) {
    if (Diretório && (Linha.empty() || Linha.back() != '\\')) Linha += '\\';
    const std::size_t equals = Linha.find('=');
    const std::string candidate = equals == std::string::npos ? std::string() : Linha.substr(0, equals);
    if (platform::UpperAscii(trimSpaces(candidate)) != platform::UpperAscii(Chave)) return {};
    return trimSpaces(equals == std::string::npos ? Linha : Linha.substr(equals + 1));
}

}  // namespace Module1

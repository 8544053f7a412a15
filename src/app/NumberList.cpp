#include "NumberList.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace app {

NumberListParser::NumberListParser(std::function<void(std::string_view)> onNumber, std::size_t maxLineBytes,
                                   std::uint64_t maxLines)
    : onNumber_(std::move(onNumber)), maxLineBytes_(maxLineBytes), maxLines_(maxLines) {}

bool NumberListParser::Feed(std::string_view bytes) {
    if (error_ != Error::None) return false;
    if (!started_) {
        // Three bytes tell every byte-order mark apart.
        const std::size_t wanted = std::min(bytes.size(), 3 - start_.size());
        start_.append(bytes.substr(0, wanted));
        bytes.remove_prefix(wanted);
        if (!detectEncoding(false)) return true;
        if (error_ != Error::None) return false;
    }
    for (char c : bytes) {
        feedByte(static_cast<unsigned char>(c));
        if (error_ != Error::None) return false;
    }
    return true;
}

bool NumberListParser::Finish() {
    if (error_ != Error::None) return false;
    if (!started_) detectEncoding(true);
    if (error_ != Error::None) return false;
    if (utf16_ && (pendingByte_ >= 0 || highSurrogate_)) {
        fail(Error::InvalidUtf16, lines_ + 1);
        return false;
    }
    if (!line_.empty()) endLine();
    return error_ == Error::None;
}

std::string NumberListParser::Decode(std::string_view number, bool utf8) {
    return utf8 ? std::string(number) : platform::Windows1252ToUtf8(number);
}

// Takes the byte-order mark off the first bytes, then feeds the rest; false
// while too few bytes have come to tell.
bool NumberListParser::detectEncoding(bool atEnd) {
    const std::string_view start(start_);
    if (start.size() < 3 && !atEnd) return false;
    started_ = true;
    std::size_t mark = 0;
    if (start.substr(0, 3) == "\xEF\xBB\xBF") {
        mark = 3;
    } else if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF") {
        utf16_ = true;
        bigEndian_ = start[0] == '\xFE';
        mark = 2;
    }
    for (char c : start.substr(mark)) feedByte(static_cast<unsigned char>(c));
    start_.clear();
    return true;
}

void NumberListParser::feedByte(unsigned char byte) {
    if (error_ != Error::None) return;  // the first fault is the one reported
    if (!utf16_) {
        utf8_.Feed(byte);
        feedCharacter(byte, byte);
        return;
    }
    if (pendingByte_ < 0) {
        pendingByte_ = byte;
        return;
    }
    const auto first = static_cast<char16_t>(pendingByte_);
    pendingByte_ = -1;
    feedCodeUnit(bigEndian_ ? static_cast<char16_t>(first << 8 | byte)
                            : static_cast<char16_t>(byte << 8 | first));
}

void NumberListParser::feedCodeUnit(char16_t unit) {
    const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (highSurrogate_) {
        if (!low) return fail(Error::InvalidUtf16, lines_ + 1);
        const char32_t character = 0x10000 + ((char32_t{highSurrogate_} - 0xD800) << 10) + (unit - 0xDC00);
        highSurrogate_ = 0;
        return feedCharacter(character, 0);
    }
    if (low) return fail(Error::InvalidUtf16, lines_ + 1);
    if (high) {
        highSurrogate_ = unit;
        return;
    }
    feedCharacter(unit, 0);
}

// One character of the list: a byte of an 8-bit list (byte), or a code
// point of a UTF-16 one, kept as UTF-8.
void NumberListParser::feedCharacter(char32_t character, unsigned char byte) {
    if (afterCarriageReturn_) {
        afterCarriageReturn_ = false;
        if (character == '\n') return;  // the LF of a CR LF pair
    }
    if (character == '\r' || character == '\n') {
        afterCarriageReturn_ = character == '\r';
        return endLine();
    }
    if (utf16_)
        platform::AppendUtf8(line_, character);
    else
        line_ += static_cast<char>(byte);
    if (line_.size() > maxLineBytes_) fail(Error::LineTooLong, lines_ + 1);
}

void NumberListParser::endLine() {
    if (++lines_ > maxLines_) return fail(Error::TooManyLines, lines_);
    const std::size_t first = line_.find_first_not_of(" \t");
    if (first != std::string::npos && line_[first] != '#') onNumber_(line_);
    line_.clear();
}

void NumberListParser::fail(Error error, std::uint64_t line) {
    error_ = error;
    errorLine_ = line;
    line_.clear();
}

namespace {

std::string listName(const std::string& name) {
    return name == "-" ? std::string("a lista da entrada padrão") : "a lista '" + name + "'";
}

}  // namespace

void NumberQueue::AddNumber(std::string number) {
    segments_.push_back({false, 1, true, std::move(number)});
    ++total_;
}

bool NumberQueue::AddList(const std::string& name, std::istream& standardInput, std::ostream& err) {
    platform::FileHandle file;
    if (name != "-") {
        platform::RegularFile opened = platform::OpenRegularFile(name);
        switch (opened.failure) {
            case platform::RegularFile::Failure::None:
                break;
            case platform::RegularFile::Failure::NotRegular:
                err << "remover-exame: " << listName(name)
                    << " não é um arquivo comum (um diretório, um dispositivo ou um pipe não servem; para "
                       "ler da entrada padrão, use --lista -)\n";
                return false;
            default:
                err << "remover-exame: não foi possível abrir " << listName(name) << ": "
                    << std::strerror(opened.error) << '\n';
                return false;
        }
        file = std::move(opened.file);
    }
    if (!spool_) {
        spool_ = platform::OpenScratchFile();
        if (!spool_) {
            err << "remover-exame: não foi possível criar o arquivo temporário para " << listName(name)
                << ": " << std::strerror(errno) << '\n';
            return false;
        }
    }

    std::size_t count = 0;
    bool written = true;
    NumberListParser parser([&](std::string_view number) {
        const auto length = static_cast<std::uint32_t>(number.size());
        const unsigned char size[4] = {
            static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
            static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
        written = written && std::fwrite(size, 1, 4, spool_.get()) == 4 &&
                  std::fwrite(number.data(), 1, number.size(), spool_.get()) == number.size();
        ++count;
    });
    char buffer[1 << 16];
    bool readFailed = false;
    for (bool more = true; more && parser.error() == NumberListParser::Error::None;) {
        std::size_t n = 0;
        if (file) {
            n = std::fread(buffer, 1, sizeof buffer, file.get());
            readFailed = std::ferror(file.get()) != 0;
        } else {
            standardInput.read(buffer, sizeof buffer);
            n = static_cast<std::size_t>(standardInput.gcount());
            readFailed = standardInput.bad();
        }
        more = n > 0 && !readFailed;
        if (more) parser.Feed(std::string_view(buffer, n));
    }
    if (readFailed) {
        err << "remover-exame: não foi possível ler " << listName(name) << '\n';
        return false;
    }
    parser.Finish();
    switch (parser.error()) {
        case NumberListParser::Error::None:
            break;
        case NumberListParser::Error::LineTooLong:
            err << "remover-exame: " << listName(name) << ", linha " << parser.errorLine()
                << ": linha longa demais (no máximo " << kMaxListLineBytes << " bytes); nada foi feito.\n";
            return false;
        case NumberListParser::Error::TooManyLines:
            err << "remover-exame: " << listName(name) << ", linha " << parser.errorLine()
                << ": linhas demais (no máximo " << kMaxListLines << " por lista); nada foi feito.\n";
            return false;
        case NumberListParser::Error::InvalidUtf16:
            err << "remover-exame: " << listName(name) << ", linha " << parser.errorLine()
                << ": texto UTF-16 inválido; nada foi feito.\n";
            return false;
    }
    if (!written || std::fflush(spool_.get()) != 0) {
        err << "remover-exame: não foi possível guardar " << listName(name)
            << " no arquivo temporário: " << std::strerror(errno) << '\n';
        return false;
    }
    segments_.push_back({true, count, parser.Utf8(), {}});
    total_ += count;
    return true;
}

bool NumberQueue::Next(std::string& number) {
    number.clear();
    while (segment_ < segments_.size()) {
        Segment& segment = segments_[segment_];
        if (!segment.list) {
            ++segment_;
            number = std::move(segment.number);
            return true;
        }
        if (taken_ == segment.count) {
            ++segment_, taken_ = 0;
            continue;
        }
        if (!reading_) {
            reading_ = true;
            std::rewind(spool_.get());
        }
        ++taken_;
        unsigned char size[4];
        if (std::fread(size, 1, 4, spool_.get()) != 4) return false;
        const std::size_t length = size[0] | size[1] << 8 | size[2] << 16 | std::size_t{size[3]} << 24;
        if (length > kMaxListLineBytes) return false;
        std::string raw(length, '\0');
        if (std::fread(raw.data(), 1, length, spool_.get()) != length) return false;
        number = NumberListParser::Decode(raw, segment.utf8);
        return true;
    }
    return false;
}

}  // namespace app

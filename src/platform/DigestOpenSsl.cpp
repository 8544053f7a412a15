#include <openssl/evp.h>

#include "Digest.h"

namespace platform {

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string Base64Encode(std::string_view bytes) {
    std::string text;
    // EVP_EncodeBlock takes an int length: encode in pieces of whole groups.
    constexpr std::size_t piece = 3 * (1 << 20);
    for (std::size_t at = 0; at < bytes.size() || (at == 0 && bytes.empty()); at += piece) {
        const std::string_view part = bytes.substr(at, piece);
        std::string out(4 * ((part.size() + 2) / 3) + 1, '\0');
        const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(part.data()),
                                      static_cast<int>(part.size()));
        text.append(out.data(), static_cast<std::size_t>(n));
        if (bytes.empty()) break;
    }
    return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
              c == '/' || c == '='))
            return std::nullopt;
    std::string bytes;
    constexpr std::size_t piece = 4 * (1 << 20);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::string_view part = text.substr(at, piece);
        std::string out(3 * (part.size() / 4), '\0');
        const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(part.data()),
                                      static_cast<int>(part.size()));
        if (n < 0) return std::nullopt;
        // EVP_DecodeBlock counts the padding as zero bytes.
        std::size_t length = static_cast<std::size_t>(n);
        if (at + piece >= text.size()) {
            if (!part.empty() && part.back() == '=') --length;
            if (part.size() > 1 && part[part.size() - 2] == '=') --length;
        }
        bytes.append(out.data(), length);
    }
    return bytes;
}

}  // namespace platform

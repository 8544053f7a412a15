#include <windows.h>
// After windows.h:
#include <bcrypt.h>
#include <wincrypt.h>

#include "Digest.h"

namespace platform {

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[32] = {};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0) {
        if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
            // BCryptHashData takes at most 4 GiB at a time.
            for (std::size_t at = 0; at < bytes.size(); at += 1u << 30) {
                const std::string_view part = bytes.substr(at, 1u << 30);
                BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(part.data())),
                               static_cast<ULONG>(part.size()), 0);
            }
            BCryptFinishHash(hash, digest, sizeof digest, 0);
            BCryptDestroyHash(hash);
        }
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return hex;
}

std::string Base64Encode(std::string_view bytes) {
    if (bytes.empty()) return {};
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD size = 0;
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, nullptr, &size);
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, text.data(), &size)) return {};
    text.resize(size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return std::string();
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr, &size,
                              nullptr, nullptr))
        return std::nullopt;
    std::string bytes(size, '\0');
    if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              reinterpret_cast<BYTE*>(bytes.data()), &size, nullptr, nullptr))
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

}  // namespace platform

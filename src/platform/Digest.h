// Checksums and the text form of binary data, from the system's own
// cryptographic library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The SHA-256 digest of bytes, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

// Base64 (RFC 4648, with padding, no line breaks) and back; nothing when
// text is not valid base64.
std::string Base64Encode(std::string_view bytes);
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace platform

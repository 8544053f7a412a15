// The value of one field in one row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace ado {

// Null, a whole number, a floating-point number or text (UTF-8). Blobs are
// carried as text; nothing in the program reads them.
using Variant = std::variant<std::monostate, std::int64_t, double, std::string>;

inline bool IsNull(const Variant& v) {
    return std::holds_alternative<std::monostate>(v);
}

// The value as a whole number, when it is one or is text that spells one.
std::optional<std::int64_t> ToInteger(const Variant& v);

// The value as text, as a client would display it; Null gives empty text.
std::string ToText(const Variant& v);

}  // namespace ado

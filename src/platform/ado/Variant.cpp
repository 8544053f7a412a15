#include "Variant.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace ado {

std::optional<std::int64_t> ToInteger(const Variant& v) {
    if (auto i = std::get_if<std::int64_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) {
        if (std::isfinite(*d) && std::trunc(*d) == *d) return static_cast<std::int64_t>(*d);
        return std::nullopt;
    }
    if (auto s = std::get_if<std::string>(&v)) {
        std::int64_t value = 0;
        const char* first = s->data();
        const char* last = s->data() + s->size();
        auto [ptr, ec] = std::from_chars(first, last, value);
        if (ec == std::errc() && ptr == last && first != last) return value;
    }
    return std::nullopt;
}

std::string ToText(const Variant& v) {
    if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v)) {
        std::ostringstream out;
        out.precision(15);
        out << *d;
        return out.str();
    }
    if (auto s = std::get_if<std::string>(&v)) return *s;
    return {};
}

}  // namespace ado

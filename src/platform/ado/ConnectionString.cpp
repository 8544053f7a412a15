#include "ConnectionString.h"

#include <algorithm>
#include <cctype>

namespace ado {
namespace {

std::string_view trimSpaces(std::string_view s) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool isPasswordKey(std::string_view key) {
    return EqualsIgnoreCase(key, "Password") || EqualsIgnoreCase(key, "PWD") ||
           EqualsIgnoreCase(key, "Jet OLEDB:Database Password");
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::vector<ConnectionProperty> ParseConnectionString(std::string_view text) {
    std::vector<ConnectionProperty> result;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t eq = text.find_first_of("=;", i);
        if (eq == std::string_view::npos || text[eq] == ';') {
            // A segment without "=": nothing to keep.
            i = (eq == std::string_view::npos) ? text.size() : eq + 1;
            continue;
        }
        std::string_view key = trimSpaces(text.substr(i, eq - i));
        i = eq + 1;
        while (i < text.size() && text[i] == ' ') ++i;

        std::string value;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            const char quote = text[i++];
            while (i < text.size()) {
                if (text[i] == quote) {
                    if (i + 1 < text.size() && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            std::size_t semi = text.find(';', i);
            i = (semi == std::string_view::npos) ? text.size() : semi + 1;
        } else {
            std::size_t semi = text.find(';', i);
            std::size_t end = (semi == std::string_view::npos) ? text.size() : semi;
            value = std::string(trimSpaces(text.substr(i, end - i)));
            i = (semi == std::string_view::npos) ? text.size() : semi + 1;
        }
        if (!key.empty()) result.push_back({std::string(key), std::move(value)});
    }
    return result;
}

std::optional<std::string> FindProperty(const std::vector<ConnectionProperty>& properties,
                                        std::string_view key) {
    std::optional<std::string> found;
    for (const auto& p : properties)
        if (EqualsIgnoreCase(p.key, key)) found = p.value;
    return found;
}

std::string RedactPasswords(std::string_view connectionString) {
    std::string out;
    for (const auto& p : ParseConnectionString(connectionString)) {
        if (!out.empty()) out += ';';
        out += p.key;
        out += '=';
        out += isPasswordKey(p.key) ? std::string("***") : p.value;
    }
    return out;
}

}  // namespace ado

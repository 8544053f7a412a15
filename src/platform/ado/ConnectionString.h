// Reading ADO connection strings: "Key=Value;Key=Value".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado {

struct ConnectionProperty {
    std::string key;    // as written, spaces around it removed
    std::string value;  // quotes removed, spaces around an unquoted value removed
};

// Splits a connection string into its properties, in order. A value may be
// enclosed in double or single quotes, which then may hold ";" and "="; a
// quote inside such a value is written twice. Empty segments are skipped.
std::vector<ConnectionProperty> ParseConnectionString(std::string_view text);

// The value of the last property whose key equals key, case ignored.
std::optional<std::string> FindProperty(const std::vector<ConnectionProperty>& properties,
                                        std::string_view key);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The connection string with the value of every password key replaced by
// "***", for diagnostics.
std::string RedactPasswords(std::string_view connectionString);

}  // namespace ado

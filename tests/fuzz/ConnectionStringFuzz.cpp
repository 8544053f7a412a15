// Fuzz target: connection strings.
//
// The input is the CONN_SERVER text of the configuration file. It is parsed
// as an ADO connection string, redacted for diagnostics, classified by its
// provider and translated into the ODBC connection string of each provider
// that goes through ODBC. What is checked:
// - the parsed properties are well formed and FindProperty agrees with them;
// - a password never survives redaction (ADO and ODBC forms), nor shows in a
//   driver message redacted with the passwords found in the string;
// - read back the way the ODBC driver manager reads it, and the way the
//   driver's family reads it (FreeTDS: a braced value ends at "};" and keeps
//   "}}"; MariaDB: braces only for the keys it knows, any other value ends at
//   ";"), the ODBC string holds exactly the keys the translation writes, each
//   value as configured, and the safeguards last: no value can end its own
//   pair and add a key of its own. A string a family cannot read so is
//   refused (CannotConnect), never written.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "ado/OdbcConnectionString.h"
#include "ado/Providers.h"

namespace {

using ado::ConnectionProperty;
using ado::EqualsIgnoreCase;
using fuzz::Check;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One pair of an ODBC connection string as the driver manager reads it; the
// value's text (braces included) runs from valueBegin to valueEnd.
struct OdbcPair {
    std::string key;
    std::string value;
    std::size_t valueBegin;
    std::size_t valueEnd;
};

// ODBC's reading: "key=value" pairs split at ";"; a value that opens with "{"
// runs to the "}" that is not doubled, "}}" standing for "}", and its pair
// must end there. Nothing when the text is not a list of such pairs.
std::optional<std::vector<OdbcPair>> readOdbc(std::string_view text) {
    std::vector<OdbcPair> pairs;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t equals = text.find('=', i);
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = text.substr(i, equals - i);
        if (key.empty() || key.find(';') != std::string_view::npos) return std::nullopt;
        std::size_t j = equals + 1;
        std::string value;
        if (j < text.size() && text[j] == '{') {
            ++j;
            for (;;) {
                if (j >= text.size()) return std::nullopt;
                if (text[j] == '}') {
                    if (j + 1 < text.size() && text[j + 1] == '}') {
                        value += '}';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j++];
            }
            if (j < text.size() && text[j] != ';') return std::nullopt;
        } else {
            const std::size_t semicolon = text.find(';', j);
            const std::size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
            value = std::string(text.substr(j, end - j));
            j = end;
        }
        pairs.push_back({std::string(key), std::move(value), equals + 1, j});
        i = j + 1;
    }
    return pairs;
}

// FreeTDS's reading: a value that opens with "{" runs to the first "}" that
// a ";" or the end follows, "}}" kept as it stands; any other to ";".
std::vector<OdbcPair> readFreeTds(std::string_view text) {
    std::vector<OdbcPair> pairs;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t equals = text.find('=', i);
        if (equals == std::string_view::npos) break;
        std::size_t j = equals + 1, end;
        std::string value;
        if (j < text.size() && text[j] == '{') {
            end = text.find("};", j + 1);
            if (end == std::string_view::npos) end = text.back() == '}' ? text.size() - 1 : text.size();
            value = std::string(text.substr(j + 1, end - j - 1));
            end = std::min(end + 1, text.size());
        } else {
            end = std::min(text.find(';', j), text.size());
            value = std::string(text.substr(j, end - j));
        }
        pairs.push_back({std::string(text.substr(i, equals - i)), std::move(value), j, end});
        i = end + 1;
    }
    return pairs;
}

bool isMariaDbKey(std::string_view key) {
    for (std::string_view known :
         {"DSN",           "DESCRIPTION",   "DRIVER",      "OPTIONS",       "OPTION",
          "NamedPipe",     "TCPIP",         "SERVER",      "UID",           "PWD",
          "DATABASE",      "PORT",          "INITSTMT",    "CONN_TIMEOUT",  "AUTO_RECONNECT",
          "NO_PROMPT",     "CHARSET",       "TRACE",       "PLUGIN_DIR",    "SSLKEY",
          "SSLCERT",       "SSLCA",         "SSLCAPATH",   "SSLCIPHER",     "SSLVERIFY",
          "TLSPEERFP",     "TLSPEERFPLIST", "SSLCRL",      "SSLCRLPATH",    "SOCKET",
          "SAVEFILE",      "USE_MYCNF",     "TLSVERSION",  "FORCETLS",      "SERVERKEY",
          "TLSKEYPWD",     "INTERACTIVE",   "FORWARDONLY", "SCHEMANOERROR", "READ_TIMEOUT",
          "WRITE_TIMEOUT", "SERVERNAME",    "USER",        "PASSWORD",      "SSLFP",
          "SSLFPLIST"})
        if (EqualsIgnoreCase(known, key)) return true;
    return false;
}

// MariaDB Connector/ODBC's reading: the key runs to "=" and is trimmed; a
// known key's value may be braced, "}}" standing for "}"; any other value
// runs to ";". Values are trimmed.
std::vector<OdbcPair> readMariaDb(std::string_view text) {
    std::vector<OdbcPair> pairs;
    std::size_t i = 0;
    auto trim = [](std::string_view s) {
        while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
        while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
        return std::string(s);
    };
    while (i < text.size()) {
        const std::size_t equals = text.find('=', i);
        if (equals == std::string_view::npos) break;
        const std::string key = trim(text.substr(i, equals - i));
        std::size_t j = equals + 1;
        while (j < text.size() && isSpace(text[j])) ++j;
        std::string value;
        if (isMariaDbKey(key) && j < text.size() && text[j] == '{') {
            for (++j; j < text.size(); ++j) {
                if (text[j] == '}' && j + 1 < text.size() && text[j + 1] == '}') {
                    value += '}';
                    ++j;
                } else if (text[j] == '}') {
                    ++j;
                    break;
                } else {
                    value += text[j];
                }
            }
            j = std::min(text.find(';', j), text.size());
        } else {
            const std::size_t end = std::min(text.find(';', j), text.size());
            value = trim(text.substr(j, end - j));
            j = end;
        }
        pairs.push_back({key, std::move(value), equals + 1, j});
        i = j + 1;
    }
    return pairs;
}

// The value last given to any of keys.
std::optional<std::string> lastOf(const std::vector<ConnectionProperty>& properties,
                                  std::initializer_list<std::string_view> keys) {
    std::optional<std::string> found;
    for (const auto& p : properties)
        for (auto key : keys)
            if (EqualsIgnoreCase(p.key, key)) found = p.value;
    return found;
}

const OdbcPair* findPair(const std::vector<OdbcPair>& pairs, std::string_view key) {
    for (const auto& p : pairs)
        if (EqualsIgnoreCase(p.key, key)) return &p;
    return nullptr;
}

void checkKeysAllowed(const std::vector<OdbcPair>& pairs, std::initializer_list<std::string_view> allowed) {
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        bool known = false;
        for (auto key : allowed) known = known || pairs[i].key == key;
        Check(known, "the ODBC string holds only the keys the translation writes");
        for (std::size_t k = 0; k < i; ++k)
            Check(!EqualsIgnoreCase(pairs[k].key, pairs[i].key), "each key of the ODBC string appears once");
    }
}

void checkValue(const std::vector<OdbcPair>& pairs, std::string_view key,
                const std::optional<std::string>& expected) {
    const OdbcPair* pair = findPair(pairs, key);
    Check(pair != nullptr || !expected, "a configured value reaches the ODBC string");
    if (pair && expected) Check(pair->value == *expected, "a value reaches the ODBC string unchanged");
}

// RedactOdbcPasswords against the pairs as ODBC reads them: every password
// value, braces and all, becomes "***" and nothing else changes. Quotes (which
// the redaction also reads as OLE DB does) and nested "Extended Properties"
// may hide more, so strings holding them are left out.
void checkOdbcRedaction(const std::string& odbc, const std::vector<OdbcPair>& pairs) {
    if (odbc.find_first_of("\"'") != std::string::npos) return;
    for (const auto& p : pairs)
        if (EqualsIgnoreCase(p.key, "Extended Properties")) return;
    std::string expected;
    std::size_t copied = 0;
    for (const auto& p : pairs) {
        if (!ado::IsPasswordKey(p.key)) continue;
        expected.append(odbc, copied, p.valueBegin - copied);
        expected += "***";
        copied = p.valueEnd;
    }
    expected.append(odbc, copied);
    Check(ado::RedactOdbcPasswords(odbc) == expected, "ODBC redaction hides every password and only that");
}

// The ODBC string, or nothing when the driver's family cannot read a value
// intact and the string is refused.
std::optional<std::string> build(ado::ProviderKind kind, const std::vector<ConnectionProperty>& properties,
                                 const std::vector<std::string>& drivers) {
    try {
        return ado::BuildOdbcConnectionString(kind, properties, drivers);
    } catch (const ado::AdoError& e) {
        Check(e.status() == 0x80040E96u, "a registered driver always stands in for the provider");
    }
    return std::nullopt;
}

// The same pairs, keys and values, in the same order.
bool samePairs(const std::vector<OdbcPair>& a, const std::vector<OdbcPair>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!EqualsIgnoreCase(a[i].key, b[i].key) || a[i].value != b[i].value) return false;
    return true;
}

void checkSqlServer(const std::vector<ConnectionProperty>& properties, const std::string& driver) {
    const auto built = build(ado::ProviderKind::SqlServer, properties, {"MariaDB Unicode", driver});
    // Only FreeTDS refuses values: one holding "}" where it needs braces.
    Check(built || driver == "FreeTDS", "Microsoft's drivers read every value");
    if (!built) return;
    const std::string& odbc = *built;
    const auto pairs = readOdbc(odbc);
    Check(pairs.has_value(), "the SQL Server string reads back as ODBC pairs");
    checkKeysAllowed(*pairs,
                     {"Driver", "Server", "Port", "Database", "UID", "PWD", "Trusted_Connection", "Encrypt",
                      "TrustServerCertificate", "Encryption", "TDS_Version", "ClientCharset"});
    Check(pairs->front().key == "Driver" && pairs->front().value == driver, "the driver comes first");
    checkValue(*pairs, "Database", lastOf(properties, {"Initial Catalog", "Database"}));
    checkValue(*pairs, "UID", lastOf(properties, {"User ID", "UID", "User"}));
    checkValue(*pairs, "PWD", lastOf(properties, {"Password", "PWD"}));
    if (driver != "FreeTDS")
        checkValue(*pairs, "Server",
                   lastOf(properties, {"Data Source", "Server", "Address", "Addr", "Network Address"}));
    if (driver == "FreeTDS") Check(samePairs(*pairs, readFreeTds(odbc)), "FreeTDS reads the pairs meant");
    checkOdbcRedaction(odbc, *pairs);
}

void checkAccess(const std::vector<ConnectionProperty>& properties) {
    const std::string driver = "Microsoft Access Driver (*.mdb, *.accdb)";
    const auto built = build(ado::ProviderKind::Access, properties, {driver});
    Check(built.has_value(), "the Access driver reads every value");
    const std::string& odbc = *built;
    const auto pairs = readOdbc(odbc);
    Check(pairs.has_value(), "the Access string reads back as ODBC pairs");
    checkKeysAllowed(*pairs, {"Driver", "DBQ", "UID", "PWD"});
    Check(pairs->front().value == driver, "the driver comes first");
    checkValue(*pairs, "DBQ", lastOf(properties, {"Data Source"}));
    checkValue(*pairs, "UID", lastOf(properties, {"User ID"}));
    checkValue(*pairs, "PWD", lastOf(properties, {"Jet OLEDB:Database Password", "Password"}));
    checkOdbcRedaction(odbc, *pairs);
}

// MSDASQL: every key but Provider goes on, renamed where ODBC names it
// differently. "Extended Properties" is an ODBC string written by the
// administrator and passed on whole, so it is left out of this check.
void checkOdbc(const std::vector<ConnectionProperty>& properties) {
    const auto built = build(ado::ProviderKind::Odbc, properties, {});
    if (lastOf(properties, {"Extended Properties"}) || !built) return;
    const std::string& odbc = *built;
    const auto pairs = readOdbc(odbc);
    Check(pairs.has_value(), "the MSDASQL string reads back as ODBC pairs");

    std::vector<OdbcPair> expected;
    std::optional<std::string> driver;  // the one the driver manager loads
    bool dataSourceFirst = false;
    for (const auto& p : properties) {
        if (EqualsIgnoreCase(p.key, "Provider")) continue;
        std::string key = p.key;
        if (EqualsIgnoreCase(key, "Data Source")) key = "DSN";
        if (EqualsIgnoreCase(key, "User ID")) key = "UID";
        if (EqualsIgnoreCase(key, "Password")) key = "PWD";
        if (EqualsIgnoreCase(key, "Initial Catalog")) key = "DATABASE";
        if (EqualsIgnoreCase(key, "Driver")) driver = p.value;
        if (!driver && (EqualsIgnoreCase(key, "DSN") || EqualsIgnoreCase(key, "FILEDSN")))
            dataSourceFirst = true;
        expected.push_back({key, p.value, 0, 0});
    }
    // No driver is registered here: the family is told by the driver's
    // name, or by its library's when the key names a file.
    const auto family = dataSourceFirst || !driver ? ado::DriverFamily::Other
                                                   : ado::FamilyOfDriver(ado::OdbcRegistry{}, *driver);
    if (family == ado::DriverFamily::MySql) {
        // The safeguards come after every pair given.
        expected.push_back({"AUTO_RECONNECT", "0", 0, 0});
        if (const auto option = lastOf(properties, {"OPTION", "OPTIONS"})) {
            unsigned long number = 0;
            std::from_chars(option->data(), option->data() + option->size(), number);
            expected.push_back({"OPTION", std::to_string(number & ~4194304ul), 0, 0});
        }
        Check(samePairs(readMariaDb(odbc), expected),
              "MariaDB's driver reads the pairs meant, safeguards last");
    }
    Check(samePairs(*pairs, expected), "every property becomes one ODBC pair, in order, and none is added");
    if (family == ado::DriverFamily::FreeTds)
        Check(samePairs(readFreeTds(odbc), expected), "FreeTDS reads the pairs meant");
    checkOdbcRedaction(odbc, *pairs);
}

// RedactPasswords: a password can show in the redacted text only where the
// same text stands outside every password. For a value without quotes,
// braces, separators, blanks or "*", each password property holding it
// holds it at least once where it is written; when the text holds it no more
// often than that, every occurrence is a password's, and none may survive.
std::size_t occurrences(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

void checkRedaction(const std::string& text, const std::vector<ConnectionProperty>& properties) {
    const std::string redacted = ado::RedactPasswords(text);
    for (const auto& secret : properties) {
        if (!ado::IsPasswordKey(secret.key) || secret.value.empty()) continue;
        if (secret.value.find_first_of(";=*\"'{} \t\r\n\v\f") != std::string::npos) continue;
        std::size_t holders = 0;
        for (const auto& p : properties) holders += ado::IsPasswordKey(p.key) && p.value == secret.value;
        if (occurrences(text, secret.value) > holders) continue;
        Check(redacted.find(secret.value) == std::string::npos, "a password never survives redaction");
    }
}

// RedactSecrets with what PasswordValues finds: a driver message never shows
// a password, whether it stands there as one or as a word of the message.
void checkSecrets(const std::string& text, const std::vector<ConnectionProperty>& properties) {
    const auto secrets = ado::PasswordValues(text);
    for (const auto& secret : properties) {
        if (!ado::IsPasswordKey(secret.key) || secret.value.empty()) continue;
        for (auto [before, after] :
             {std::pair{"Can't connect ", " to server"}, std::pair{"x PWD=", ";UID=u"}}) {
            const std::string& v = secret.value;
            if (std::string_view(before).find(v) != std::string_view::npos ||
                std::string_view(after).find(v) != std::string_view::npos ||
                std::string_view(ado::kWithheldText).find(v) != std::string_view::npos ||
                v.find_first_not_of('*') == std::string::npos)
                continue;
            const std::string shown = ado::RedactSecrets(before + v + after, secrets);
            Check(shown.find(v) == std::string::npos, "a driver message never shows a password");
        }
    }
}

void checkProperties(const std::vector<ConnectionProperty>& properties) {
    for (const auto& p : properties) {
        Check(!p.key.empty(), "a key is never empty");
        Check(p.key.find_first_of("=;") == std::string::npos, "a key holds neither '=' nor ';'");
        Check(!isSpace(p.key.front()) && !isSpace(p.key.back()), "a key has no white space around it");
        const auto found = ado::FindProperty(properties, p.key);
        Check(found.has_value(), "FindProperty finds every key");
        Check(*found == *lastOf(properties, {p.key}), "FindProperty gives the last value of a key");
    }
}

std::string withAsciiCase(std::string text, bool upper) {
    for (char& c : text) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A repeated text of 128 KiB takes the functions below a quarter of a
    // second with the sanitizers, a thousand times a short input's time, so
    // one marked input in 1024 is repeated. Work that grows with the square
    // of the text still runs past the time-out at that length, and nested
    // braces blow up long before it; the password search's linear time has
    // its own unit test.
    const std::string text = fuzz::Amplified(data, size, std::size_t{128} << 10, 1024);

    // Long inputs only look for work that grows faster than the text: the
    // functions run, the checks (some quadratic themselves) do not.
    if (text.size() > 65536) {
        const auto properties = ado::ParseConnectionString(text);
        ado::FindProperty(properties, "Provider");
        ado::RedactPasswords(text);
        ado::RedactSecrets(text, ado::PasswordValues(text));
        ado::ClassifyProvider(text);
        ado::RequestedLoginTimeout(properties);
        for (auto kind : {ado::ProviderKind::SqlServer, ado::ProviderKind::Access, ado::ProviderKind::Odbc})
            ado::RedactOdbcPasswords(
                build(kind, properties, {"FreeTDS", "Microsoft Access Driver (*.mdb)"}).value_or(""));
        ado::RedactOdbcPasswords(text);
        return 0;
    }

    const auto properties = ado::ParseConnectionString(text);
    checkProperties(properties);
    checkRedaction(text, properties);
    checkSecrets(text, properties);

    const ado::ProviderKind kind = ado::ClassifyProvider(text);
    Check(kind == ado::ClassifyProvider(withAsciiCase(text, true)) &&
              kind == ado::ClassifyProvider(withAsciiCase(text, false)),
          "the provider's name is read without regard to case");
    if (const auto provider = ado::FindProperty(properties, "Provider")) ado::ClassifyProvider(*provider);

    if (const auto timeout = ado::RequestedLoginTimeout(properties))
        Check(*timeout >= 0, "no negative time-out");

    // The input itself as one value: it stays one pair, whatever it holds.
    const std::string pair = "PWD=" + ado::BraceOdbcValue(text) + ";Encrypt=yes";
    const auto pairs = readOdbc(pair);
    Check(pairs && pairs->size() == 2 && (*pairs)[0].value == text && (*pairs)[1].key == "Encrypt",
          "a braced value is read back as itself and ends its own pair");
    checkOdbcRedaction(pair, *pairs);

    checkSqlServer(properties, "ODBC Driver 18 for SQL Server");
    checkSqlServer(properties, "FreeTDS");
    checkAccess(properties);
    checkOdbc(properties);
    ado::RedactOdbcPasswords(text);
    return 0;
}

#include "OdbcConnectionString.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "AdoError.h"
#include "StatusCodes.h"

namespace ado {
namespace {

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool isTrue(std::string_view value) {
    return EqualsIgnoreCase(value, "true") || EqualsIgnoreCase(value, "yes") ||
           EqualsIgnoreCase(value, "sspi") || EqualsIgnoreCase(value, "mandatory") ||
           EqualsIgnoreCase(value, "strict") || value == "1";
}

class OdbcStringWriter {
public:
    void add(std::string_view key, std::string_view value) { addRaw(key, BraceOdbcValue(value)); }
    // Driver names are braced always, as ODBC's own examples write them:
    // some hold characters ("(*.mdb)") that older driver managers misread.
    void addDriver(std::string_view name, std::string_view key = "Driver") {
        std::string braced = BraceOdbcValue(name);
        if (braced.empty() || braced.front() != '{') braced = "{" + braced + "}";
        addRaw(key, braced);
    }
    void addRaw(std::string_view key, std::string_view value) {
        if (!text_.empty()) text_ += ';';
        text_ += key;
        text_ += '=';
        text_ += value;
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

// The value of the last property whose key is one of keys.
std::optional<std::string> findAny(const std::vector<ConnectionProperty>& properties,
                                   std::initializer_list<std::string_view> keys) {
    std::optional<std::string> found;
    for (const auto& p : properties)
        for (auto key : keys)
            if (EqualsIgnoreCase(p.key, key)) found = p.value;
    return found;
}

bool hasDriver(const std::vector<std::string>& drivers, std::string_view name) {
    return std::any_of(drivers.begin(), drivers.end(),
                       [&](const std::string& d) { return EqualsIgnoreCase(d, name); });
}

// Microsoft's own driver when one is registered: the newest "ODBC Driver N
// for SQL Server", else the Native Client, else the "SQL Server" driver that
// comes with Windows; otherwise FreeTDS.
std::optional<std::string> sqlServerDriver(const std::vector<std::string>& drivers) {
    std::optional<std::string> best;
    int bestVersion = -1;
    for (const auto& d : drivers) {
        constexpr std::string_view prefix = "ODBC Driver ";
        constexpr std::string_view suffix = " for SQL Server";
        if (!startsWithIgnoreCase(d, prefix) || d.size() <= prefix.size() + suffix.size() ||
            !EqualsIgnoreCase(std::string_view(d).substr(d.size() - suffix.size()), suffix))
            continue;
        std::string_view number =
            std::string_view(d).substr(prefix.size(), d.size() - prefix.size() - suffix.size());
        int version = 0;
        auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), version);
        if (ec != std::errc() || end != number.data() + number.size()) continue;
        if (version > bestVersion) bestVersion = version, best = d;
    }
    if (best) return best;
    for (std::string_view older : {"SQL Server Native Client 11.0", "SQL Server", "FreeTDS"})
        for (const auto& d : drivers)
            if (EqualsIgnoreCase(d, older)) return d;
    return std::nullopt;
}

std::string sqlServerString(const std::vector<ConnectionProperty>& properties,
                            const std::vector<std::string>& drivers) {
    const auto driver = sqlServerDriver(drivers);
    if (!driver)
        throw AdoError(status::ProviderNotFound,
                       "Provider cannot be found: no ODBC driver for SQL Server is registered");
    const bool freeTds = EqualsIgnoreCase(*driver, "FreeTDS");

    OdbcStringWriter out;
    out.addDriver(*driver);
    if (auto server = findAny(properties, {"Data Source", "Server", "Address", "Addr", "Network Address"})) {
        std::string host = *server;
        std::optional<std::string> port;
        if (freeTds) {
            // FreeTDS knows neither the "tcp:" prefix nor "(local)", and takes
            // the port as a key of its own.
            if (startsWithIgnoreCase(host, "tcp:")) host.erase(0, 4);
            if (auto comma = host.rfind(','); comma != std::string::npos) {
                port = host.substr(comma + 1);
                host.erase(comma);
            }
            if (host == "(local)" || host == ".") host = "localhost";
        }
        out.add("Server", host);
        if (port) out.add("Port", *port);
    }
    if (auto database = findAny(properties, {"Initial Catalog", "Database"})) out.add("Database", *database);
    if (auto user = findAny(properties, {"User ID", "UID", "User"})) out.add("UID", *user);
    if (auto password = findAny(properties, {"Password", "PWD"})) out.add("PWD", *password);
    const auto integrated = findAny(properties, {"Integrated Security", "Trusted_Connection"});
    if (integrated && isTrue(*integrated)) out.addRaw("Trusted_Connection", "yes");

    // The login is encrypted whenever the server allows it, as SQL Server's
    // own providers do; "Encrypt" or "Use Encryption for Data" set to true
    // makes encryption of the whole session a condition of connecting.
    const auto encrypt = findAny(properties, {"Encrypt", "Use Encryption for Data"});
    const bool encrypted = encrypt && isTrue(*encrypt);
    if (freeTds) {
        // FreeTDS checks a server's certificate only against the CA file that
        // freetds.conf names, so TrustServerCertificate has no key there.
        out.addRaw("Encryption", encrypted ? "require" : "request");
        out.addRaw("TDS_Version", "7.4");
        out.addRaw("ClientCharset", "UTF-8");
    } else {
        // Microsoft's drivers encrypt the login under "Encrypt=no" too.
        out.addRaw("Encrypt", encrypted ? (EqualsIgnoreCase(*encrypt, "strict") ? "strict" : "yes") : "no");
        if (auto trust = findAny(properties, {"TrustServerCertificate", "Trust Server Certificate"}))
            out.addRaw("TrustServerCertificate", isTrue(*trust) ? "yes" : "no");
    }
    return out.take();
}

std::string accessString(const std::vector<ConnectionProperty>& properties,
                         const std::vector<std::string>& drivers) {
    std::string driver;
    for (std::string_view candidate :
         {"Microsoft Access Driver (*.mdb, *.accdb)", "Microsoft Access Driver (*.mdb)"}) {
        if (hasDriver(drivers, candidate)) {
            driver = candidate;
            break;
        }
    }
    if (driver.empty())
        throw AdoError(status::ProviderNotFound,
                       "Provider cannot be found: no ODBC driver for Access files is registered");
    OdbcStringWriter out;
    out.addDriver(driver);
    if (auto file = findAny(properties, {"Data Source"})) out.add("DBQ", *file);
    if (auto user = findAny(properties, {"User ID"})) out.add("UID", *user);
    if (auto password = findAny(properties, {"Jet OLEDB:Database Password", "Password"}))
        out.add("PWD", *password);
    return out.take();
}

// MSDASQL's own keys become their ODBC names; every other key goes to the
// driver manager as written, each value braced again where it needs braces.
// "Extended Properties", an ODBC string in itself, gives its own pairs.
void addOdbcPair(OdbcStringWriter& out, std::string_view key, const std::string& value) {
    if (EqualsIgnoreCase(key, "Driver"))
        out.addDriver(value, key);
    else
        out.add(key, value);
}

std::string odbcString(const std::vector<ConnectionProperty>& properties) {
    OdbcStringWriter out;
    for (const auto& p : properties) {
        if (EqualsIgnoreCase(p.key, "Provider")) continue;
        if (EqualsIgnoreCase(p.key, "Extended Properties")) {
            for (const auto& inner : ParseConnectionString(p.value)) addOdbcPair(out, inner.key, inner.value);
            continue;
        }
        std::string_view key = p.key;
        if (EqualsIgnoreCase(key, "Data Source"))
            key = "DSN";
        else if (EqualsIgnoreCase(key, "User ID"))
            key = "UID";
        else if (EqualsIgnoreCase(key, "Password"))
            key = "PWD";
        else if (EqualsIgnoreCase(key, "Initial Catalog"))
            key = "DATABASE";
        addOdbcPair(out, key, p.value);
    }
    return out.take();
}

}  // namespace

std::string BraceOdbcValue(std::string_view value) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    const bool needsBraces = value.find_first_of(";{}") != std::string_view::npos ||
                             (!value.empty() && (blank(value.front()) || blank(value.back())));
    if (!needsBraces) return std::string(value);
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';
    return out;
}

std::string BuildOdbcConnectionString(ProviderKind kind, const std::vector<ConnectionProperty>& properties,
                                      const std::vector<std::string>& registeredDrivers) {
    switch (kind) {
        case ProviderKind::SqlServer:
            return sqlServerString(properties, registeredDrivers);
        case ProviderKind::Access:
            return accessString(properties, registeredDrivers);
        case ProviderKind::Odbc:
            return odbcString(properties);
        case ProviderKind::Sqlite:
        case ProviderKind::Unknown:
            break;
    }
    throw AdoError(status::ProviderNotFound, "Provider cannot be found through ODBC");
}

std::string BuildOdbcConnectionString(ProviderKind kind, const std::vector<ConnectionProperty>& properties) {
    // Only the two kinds that choose a driver need to ask for the list.
    return BuildOdbcConnectionString(
        kind, properties, kind == ProviderKind::Odbc ? std::vector<std::string>{} : RegisteredOdbcDrivers());
}

std::optional<long> RequestedLoginTimeout(const std::vector<ConnectionProperty>& properties) {
    const auto value = findAny(properties, {"Connect Timeout", "Connection Timeout"});
    if (!value) return std::nullopt;
    long seconds = 0;
    auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), seconds);
    if (ec != std::errc() || end != value->data() + value->size() || seconds < 0) return std::nullopt;
    return seconds;
}

std::optional<long> RequestedCommandTimeout(const std::vector<ConnectionProperty>& properties) {
    const auto value = findAny(properties, {"Command Timeout"});
    if (!value) return std::nullopt;
    return RequestedLoginTimeout({ConnectionProperty{"Connect Timeout", *value}});
}

namespace {

// The driver's reading of a number: leading digits, nothing else.
unsigned long leadingNumber(std::string_view value) {
    unsigned long number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    return number;
}

}  // namespace

std::string WithSessionSafeguards(std::string_view odbcConnectionString, long loginTimeout,
                                  long commandTimeout) {
    constexpr unsigned long kAutoReconnect = 4194304;
    bool mayBeMySql = false;
    std::optional<std::string> option;
    bool connTimeout = false, readTimeout = false, writeTimeout = false;
    for (const auto& [key, value] : ParseConnectionString(odbcConnectionString)) {
        if (EqualsIgnoreCase(key, "Driver")) {
            std::string name = value;
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            mayBeMySql = name.find("MARIADB") != std::string::npos ||
                         name.find("MYSQL") != std::string::npos ||
                         name.find("MAODBC") != std::string::npos || name.find("MYODBC") != std::string::npos;
        } else if (EqualsIgnoreCase(key, "DSN") || EqualsIgnoreCase(key, "FILEDSN")) {
            mayBeMySql = true;
        } else if (EqualsIgnoreCase(key, "OPTION") || EqualsIgnoreCase(key, "OPTIONS")) {
            option = value;
        }
        connTimeout = connTimeout || EqualsIgnoreCase(key, "CONN_TIMEOUT");
        readTimeout = readTimeout || EqualsIgnoreCase(key, "READ_TIMEOUT");
        writeTimeout = writeTimeout || EqualsIgnoreCase(key, "WRITE_TIMEOUT");
    }
    std::string out(odbcConnectionString);
    if (!mayBeMySql) return out;
    auto add = [&](std::string_view key, const std::string& value) {
        if (!out.empty() && out.back() != ';') out += ';';
        out += key;
        out += '=';
        out += value;
    };
    add("AUTO_RECONNECT", "0");
    if (option) add("OPTION", std::to_string(leadingNumber(*option) & ~kAutoReconnect));
    if (!connTimeout && loginTimeout > 0) add("CONN_TIMEOUT", std::to_string(loginTimeout));
    if (!readTimeout && commandTimeout > 0) add("READ_TIMEOUT", std::to_string(commandTimeout));
    if (!writeTimeout && commandTimeout > 0) add("WRITE_TIMEOUT", std::to_string(commandTimeout));
    return out;
}

std::string RedactOdbcPasswords(std::string_view text) {
    return RedactPasswords(text);
}

}  // namespace ado

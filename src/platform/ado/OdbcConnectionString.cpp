#include "OdbcConnectionString.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "AdoError.h"
#include "StatusCodes.h"
#include "TextCase.h"

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

// The pairs of an ODBC string as meant, before they are written out in the
// form that the driver's family reads.
class OdbcStringWriter {
public:
    void add(std::string_view key, std::string_view value) {
        pairs_.push_back({std::string(key), std::string(value), false});
    }
    void addDriver(std::string_view name, std::string_view key = "Driver") {
        pairs_.push_back({std::string(key), std::string(name), true});
    }
    // A pair whose value the program writes itself and needs no enclosing.
    void addRaw(std::string_view key, std::string_view value) { add(key, value); }
    std::string take(DriverFamily family);

private:
    struct Pair {
        std::string key;
        std::string value;
        bool driver;
    };
    std::vector<Pair> pairs_;
};

[[noreturn]] void refuse(const std::string& reason) {
    throw AdoError(status::CannotConnect,
                   "The connection string cannot be passed to the ODBC driver: " + reason);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool hasEdgeBlank(std::string_view value) {
    return !value.empty() && (isBlank(value.front()) || isBlank(value.back()));
}

// The keys that MySQL's and MariaDB's Connector/ODBC know. The driver reads
// a braced value ("}}" for "}") of these keys only; the value of any other
// key ends at its first ";", whatever braces or quotes stand around it, and
// what follows up to the next "=" becomes the next key's name.
bool isMySqlKey(std::string_view key) {
    static constexpr std::string_view known[] = {
        "DSN",           "DESCRIPTION",   "DRIVER",      "OPTIONS",       "OPTION",
        "NamedPipe",     "TCPIP",         "SERVER",      "UID",           "PWD",
        "DATABASE",      "PORT",          "INITSTMT",    "CONN_TIMEOUT",  "AUTO_RECONNECT",
        "NO_PROMPT",     "CHARSET",       "TRACE",       "PLUGIN_DIR",    "SSLKEY",
        "SSLCERT",       "SSLCA",         "SSLCAPATH",   "SSLCIPHER",     "SSLVERIFY",
        "TLSPEERFP",     "TLSPEERFPLIST", "SSLCRL",      "SSLCRLPATH",    "SOCKET",
        "SAVEFILE",      "USE_MYCNF",     "TLSVERSION",  "FORCETLS",      "SERVERKEY",
        "TLSKEYPWD",     "INTERACTIVE",   "FORWARDONLY", "SCHEMANOERROR", "READ_TIMEOUT",
        "WRITE_TIMEOUT", "SERVERNAME",    "USER",        "PASSWORD",      "SSLFP",
        "SSLFPLIST"};
    return std::any_of(std::begin(known), std::end(known),
                       [&](std::string_view k) { return EqualsIgnoreCase(k, key); });
}

const char* familyName(DriverFamily family) {
    switch (family) {
        case DriverFamily::MySql:
            return "MySQL/MariaDB";
        case DriverFamily::FreeTds:
            return "FreeTDS";
        case DriverFamily::MicrosoftSqlServer:
            return "Microsoft SQL Server";
        case DriverFamily::Access:
            return "Access";
        case DriverFamily::Other:
            break;
    }
    return "ODBC";
}

// A value as the family reads it back whole, or a refusal.
std::string writtenValue(DriverFamily family, const std::string& key, const std::string& value, bool driver) {
    const std::string standard = BraceOdbcValue(value);
    const std::string why = "the " + std::string(familyName(family)) + " driver cannot read the value of \"" +
                            key + "\" as written";
    if (driver) {
        // The driver manager reads this one, as ODBC does; braced always, as
        // ODBC's own examples write it: some names hold characters ("(*.mdb)")
        // that older driver managers misread.
        if (family == DriverFamily::FreeTds && value.find('}') != std::string::npos)
            refuse(why + " (a brace)");
        if (family == DriverFamily::MySql && hasEdgeBlank(value)) refuse(why + " (blanks around it)");
        return !standard.empty() && standard.front() == '{' ? standard : "{" + standard + "}";
    }
    switch (family) {
        case DriverFamily::MySql:
            // Braced or not, known key or not, the driver trims blanks around
            // a value.
            if (hasEdgeBlank(value)) refuse(why + " (blanks around it)");
            if (!isMySqlKey(key)) {
                // Such a value ends at its first ";": nothing may need enclosing.
                if (value.find_first_of(";{}") != std::string::npos)
                    refuse(why + " (\";\" or a brace in a key the driver does not know)");
                return value;
            }
            return standard;
        case DriverFamily::FreeTds: {
            // FreeTDS ends a braced value at its first "};" and keeps "}}" as
            // it stands, while the driver manager reads braces as ODBC does:
            // a value that needs braces can hold no "}" for both to agree.
            const bool needsBraces = value.find(';') != std::string::npos ||
                                     (!value.empty() && value.front() == '{') || hasEdgeBlank(value);
            if (!needsBraces) return value;
            if (value.find('}') != std::string::npos) refuse(why + " (\";\" and a brace in one value)");
            return "{" + value + "}";
        }
        case DriverFamily::MicrosoftSqlServer:
        case DriverFamily::Access:
        case DriverFamily::Other:
            break;
    }
    return standard;
}

std::string OdbcStringWriter::take(DriverFamily family) {
    std::string text;
    for (const auto& p : pairs_) {
        if (!text.empty()) text += ';';
        text += p.key;
        text += '=';
        text += writtenValue(family, p.key, p.value, p.driver);
    }
    pairs_.clear();
    return text;
}

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

std::vector<std::string> driverNames(const OdbcRegistry& registry) {
    std::vector<std::string> names;
    for (const auto& d : registry.drivers) names.push_back(d.name);
    return names;
}

OdbcConnectionPlan sqlServerString(const std::vector<ConnectionProperty>& properties,
                                   const OdbcRegistry& registry) {
    const auto driver = sqlServerDriver(driverNames(registry));
    if (!driver)
        throw AdoError(status::ProviderNotFound,
                       "Provider cannot be found: no ODBC driver for SQL Server is registered");
    // A name such as "SQL Server" may stand for FreeTDS's library: its keys
    // and its way of reading the string follow the library.
    DriverFamily family = FamilyOfDriver(registry, *driver);
    if (family != DriverFamily::FreeTds) family = DriverFamily::MicrosoftSqlServer;
    const bool freeTds = family == DriverFamily::FreeTds;

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
    return {out.take(family), family};
}

OdbcConnectionPlan accessString(const std::vector<ConnectionProperty>& properties,
                                const OdbcRegistry& registry) {
    const auto drivers = driverNames(registry);
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
    return {out.take(DriverFamily::Access), DriverFamily::Access};
}

// The driver that the driver manager loads for an ODBC string: a data
// source named before any Driver key (its registered driver), else the last
// Driver key. Nothing when the string names neither, or a file DSN.
DriverFamily odbcFamily(const std::vector<ConnectionProperty>& pairs, const OdbcRegistry& registry) {
    std::optional<std::string> driver, dataSource;
    bool dataSourceFirst = false;
    for (const auto& p : pairs) {
        if (EqualsIgnoreCase(p.key, "Driver")) {
            driver = p.value;
        } else if (EqualsIgnoreCase(p.key, "DSN") || EqualsIgnoreCase(p.key, "FILEDSN")) {
            if (!driver) dataSourceFirst = true;
            if (EqualsIgnoreCase(p.key, "DSN") && dataSourceFirst) dataSource = p.value;
        }
    }
    if (dataSourceFirst) {
        if (!dataSource) return DriverFamily::Other;
        for (const auto& d : registry.dataSources)
            if (EqualsIgnoreCase(d.name, *dataSource)) return FamilyOfDriver(registry, d.target);
        return DriverFamily::Other;
    }
    return driver ? FamilyOfDriver(registry, *driver) : DriverFamily::Other;
}

// MSDASQL's own keys become their ODBC names; every other key goes to the
// driver manager as written. "Extended Properties", an ODBC string in
// itself, gives its own pairs.
std::vector<ConnectionProperty> odbcPairs(const std::vector<ConnectionProperty>& properties) {
    std::vector<ConnectionProperty> pairs;
    for (const auto& p : properties) {
        if (EqualsIgnoreCase(p.key, "Provider")) continue;
        if (EqualsIgnoreCase(p.key, "Extended Properties")) {
            for (auto& inner : ParseConnectionString(p.value)) pairs.push_back(std::move(inner));
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
        pairs.push_back({std::string(key), p.value});
    }
    return pairs;
}

// The driver's reading of a number: leading digits, nothing else.
unsigned long leadingNumber(std::string_view value) {
    unsigned long number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    return number;
}

// What a MySQL or MariaDB session relies on, after every pair that could
// undo it.
void addMySqlSafeguards(OdbcStringWriter& out, const std::vector<ConnectionProperty>& pairs,
                        long loginTimeout, long commandTimeout) {
    constexpr unsigned long kAutoReconnect = 4194304;
    out.addRaw("AUTO_RECONNECT", "0");
    if (auto option = findAny(pairs, {"OPTION", "OPTIONS"}))
        out.addRaw("OPTION", std::to_string(leadingNumber(*option) & ~kAutoReconnect));
    if (!findAny(pairs, {"CONN_TIMEOUT"}) && loginTimeout > 0)
        out.addRaw("CONN_TIMEOUT", std::to_string(loginTimeout));
    for (std::string_view key : {"READ_TIMEOUT", "WRITE_TIMEOUT"})
        if (!findAny(pairs, {key}) && commandTimeout > 0) out.addRaw(key, std::to_string(commandTimeout));
}

OdbcConnectionPlan odbcString(const std::vector<ConnectionProperty>& properties, const OdbcRegistry& registry,
                              long loginTimeout, long commandTimeout) {
    const auto pairs = odbcPairs(properties);
    const DriverFamily family = odbcFamily(pairs, registry);
    OdbcStringWriter out;
    for (const auto& p : pairs) {
        if (EqualsIgnoreCase(p.key, "Driver"))
            out.addDriver(p.value, p.key);
        else
            out.add(p.key, p.value);
    }
    if (family == DriverFamily::MySql) addMySqlSafeguards(out, pairs, loginTimeout, commandTimeout);
    return {out.take(family), family};
}

std::string fileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    name = platform::LowerAscii(std::move(name));
    if (name.rfind("lib", 0) == 0) name.erase(0, 3);
    return name;
}

// A driver's family by its registered name, where no library is known.
DriverFamily familyOfName(std::string_view name) {
    const std::string upper = platform::UpperAscii(std::string(name));
    auto has = [&](std::string_view word) { return upper.find(word) != std::string::npos; };
    if (has("MARIADB") || has("MYSQL")) return DriverFamily::MySql;
    if (has("FREETDS")) return DriverFamily::FreeTds;
    if (has("SQL SERVER") || has("SQL NATIVE CLIENT")) return DriverFamily::MicrosoftSqlServer;
    if (has("ACCESS DRIVER")) return DriverFamily::Access;
    return DriverFamily::Other;
}

bool looksLikeLibrary(std::string_view driver) {
    if (driver.find_first_of("/\\") != std::string_view::npos) return true;
    const std::string name = fileName(driver);
    auto endsWith = [&](std::string_view suffix) {
        return name.size() >= suffix.size() &&
               name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return endsWith(".so") || endsWith(".dll") || endsWith(".dylib") ||
           name.find(".so.") != std::string::npos;
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

DriverFamily FamilyOfLibrary(std::string_view library) {
    const std::string name = fileName(library);
    for (std::string_view prefix : {"maodbc", "myodbc", "mariadb", "mysql"})
        if (name.rfind(prefix, 0) == 0) return DriverFamily::MySql;
    if (name.rfind("tdsodbc", 0) == 0) return DriverFamily::FreeTds;
    for (std::string_view prefix : {"msodbcsql", "sqlncli", "sqlsrv32"})
        if (name.rfind(prefix, 0) == 0) return DriverFamily::MicrosoftSqlServer;
    for (std::string_view prefix : {"aceodbc", "odbcjt32"})
        if (name.rfind(prefix, 0) == 0) return DriverFamily::Access;
    return DriverFamily::Other;
}

DriverFamily FamilyOfDriver(const OdbcRegistry& registry, std::string_view driver) {
    if (looksLikeLibrary(driver)) return FamilyOfLibrary(driver);
    for (const auto& d : registry.drivers) {
        if (!EqualsIgnoreCase(d.name, driver)) continue;
        return d.target.empty() ? familyOfName(d.name) : FamilyOfLibrary(d.target);
    }
    // Not registered: the driver manager cannot load it at all.
    return familyOfName(driver);
}

OdbcConnectionPlan PlanOdbcConnection(ProviderKind kind, const std::vector<ConnectionProperty>& properties,
                                      const OdbcRegistry& registry, long loginTimeout, long commandTimeout) {
    switch (kind) {
        case ProviderKind::SqlServer:
            return sqlServerString(properties, registry);
        case ProviderKind::Access:
            return accessString(properties, registry);
        case ProviderKind::Odbc:
            return odbcString(properties, registry, loginTimeout, commandTimeout);
        case ProviderKind::Sqlite:
        case ProviderKind::Unknown:
            break;
    }
    throw AdoError(status::ProviderNotFound, "Provider cannot be found through ODBC");
}

std::string BuildOdbcConnectionString(ProviderKind kind, const std::vector<ConnectionProperty>& properties,
                                      const std::vector<std::string>& registeredDrivers) {
    OdbcRegistry registry;
    for (const auto& name : registeredDrivers) registry.drivers.push_back({name, ""});
    return PlanOdbcConnection(kind, properties, registry, 0, 0).text;
}

std::string BuildOdbcConnectionString(ProviderKind kind, const std::vector<ConnectionProperty>& properties) {
    return PlanOdbcConnection(kind, properties, ReadOdbcRegistry(), 0, 0).text;
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

std::string RedactOdbcPasswords(std::string_view text) {
    return RedactPasswords(text);
}

}  // namespace ado

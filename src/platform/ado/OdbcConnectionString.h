// Turning an ADO connection string into the one the ODBC driver manager takes.
//
// The host product's configuration names an OLE DB provider (SQL Server, the
// Jet/ACE provider, or MSDASQL for an ODBC data source); on this platform all
// three are reached through ODBC, so the provider's keys are translated into
// the keys of the ODBC driver that stands in for it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ConnectionString.h"
#include "Providers.h"

namespace ado {

// A value ready to stand after "Key=" in an ODBC connection string as ODBC's
// own grammar reads it (the driver manager, Microsoft's drivers): enclosed in
// braces, with "}" doubled, when it holds ";", "{" or "}" or starts with a
// space, so that no value can end its own pair and smuggle in another key.
std::string BraceOdbcValue(std::string_view value);

// The ODBC connection string for the provider kind (SqlServer, Access or
// Odbc), given the names of the ODBC drivers registered on this machine
// (their libraries unknown, so that each family is told by its name), as
// PlanOdbcConnection writes it without the time-outs.
std::string BuildOdbcConnectionString(ProviderKind kind, const std::vector<ConnectionProperty>& properties,
                                      const std::vector<std::string>& registeredDrivers);

// The same as above with the drivers registered on this machine.
std::string BuildOdbcConnectionString(ProviderKind kind, const std::vector<ConnectionProperty>& properties);

// An ODBC connection string with the value of every PWD or Password key
// replaced by "***", for diagnostics. Braced values are read as ODBC reads
// them, so a ";" inside a braced password cannot leave part of it behind.
std::string RedactOdbcPasswords(std::string_view odbcConnectionString);

// The login time-out the string asks for ("Connect Timeout" or "Connection
// Timeout", in seconds), or nothing when it asks for none or for a value that
// is not a whole number.
std::optional<long> RequestedLoginTimeout(const std::vector<ConnectionProperty>& properties);

// The command time-out the string asks for ("Command Timeout", in seconds;
// 0 waits for ever), or nothing, as for RequestedLoginTimeout.
std::optional<long> RequestedCommandTimeout(const std::vector<ConnectionProperty>& properties);

// The families of ODBC drivers, each of which reads a connection string its
// own way and needs its own safeguards.
enum class DriverFamily { MySql, FreeTds, MicrosoftSqlServer, Access, Other };

// The family of a driver by its library ("libmaodbc.so",
// "C:\\...\\myodbc8w.dll", or the file name SQL_DRIVER_NAME gives): Other
// when the file is none this program knows.
DriverFamily FamilyOfLibrary(std::string_view library);

// What the driver manager says of its drivers and data sources.
struct OdbcRegistry {
    struct Entry {
        std::string name;
        // Drivers: the library registered for it ("" when the driver manager
        // does not say). Data sources: their driver, a registered name or a
        // library.
        std::string target;
    };
    std::vector<Entry> drivers;
    std::vector<Entry> dataSources;
};

// The registry as this machine's driver manager lists it (SQLDrivers and
// SQLDataSources).
OdbcRegistry ReadOdbcRegistry();

// The family of the driver that a driver manager would load for a "Driver"
// value: a library named directly, the library registered under that name,
// or, where the manager names no library (Windows), the registered name.
DriverFamily FamilyOfDriver(const OdbcRegistry& registry, std::string_view driver);

// What a connection is opened with: the ODBC string, written as the driver
// family that will read it reads strings, and that family.
struct OdbcConnectionPlan {
    std::string text;
    DriverFamily family = DriverFamily::Other;
};

// The ODBC connection for the provider kind (SqlServer, Access or Odbc):
// the driver that stands in for the provider (for Odbc, the Driver key or
// the DSN's driver) and its family, found through registry; every value
// written so that that family reads back exactly the pairs meant, no more
// and none swallowed. On MySQL and MariaDB drivers what a session relies on
// comes last, where it wins over any earlier key or the DSN: automatic
// reconnection off (AUTO_RECONNECT=0, and the reconnect bit 4194304 cleared
// from an OPTION value), since a session the driver replaces silently has
// lost its set-up, and the driver's own network time-outs (CONN_TIMEOUT,
// READ_TIMEOUT, WRITE_TIMEOUT) from loginTimeout and commandTimeout unless
// the string sets them (0: none). Fails with ProviderNotFound (3706) when no
// driver can stand in for the provider, and with CannotConnect when a value
// cannot reach the family intact; the description says why and never holds
// a value.
OdbcConnectionPlan PlanOdbcConnection(ProviderKind kind, const std::vector<ConnectionProperty>& properties,
                                      const OdbcRegistry& registry, long loginTimeout, long commandTimeout);

// The names of the ODBC drivers the driver manager knows.
std::vector<std::string> RegisteredOdbcDrivers();

}  // namespace ado

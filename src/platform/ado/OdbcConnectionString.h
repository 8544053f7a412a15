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

// A value ready to stand after "Key=" in an ODBC connection string: enclosed
// in braces, with "}" doubled, when it holds ";", "{" or "}" or starts with a
// space, so that no value can end its own pair and smuggle in another key.
std::string BraceOdbcValue(std::string_view value);

// The ODBC connection string for the provider kind (SqlServer, Access or
// Odbc), given the names of the ODBC drivers registered on this machine.
// Fails with ProviderNotFound (3706) when no driver can stand in for the
// provider.
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

// The ODBC string with what a session relies on made explicit when it may
// reach a MySQL or MariaDB driver (a Driver key naming one, or a DSN, whose
// driver is known only once connected): automatic reconnection off whatever
// the string or the DSN asks (AUTO_RECONNECT=0, and the reconnect bit
// 4194304 cleared from an OPTION value), since a session the driver replaces
// silently has lost its set-up; and the driver's own network time-outs
// (CONN_TIMEOUT, READ_TIMEOUT, WRITE_TIMEOUT) from loginTimeout and
// commandTimeout, unless the string sets them itself. The keys are added at
// the end, where they win over earlier ones.
std::string WithSessionSafeguards(std::string_view odbcConnectionString, long loginTimeout,
                                  long commandTimeout);

// The names of the ODBC drivers the driver manager knows.
std::vector<std::string> RegisteredOdbcDrivers();

}  // namespace ado

// The ODBC provider: what it exposes beyond OpenOdbcSession, for its tests.
#pragma once

#include <cstdint>
#include <string_view>

namespace ado {

// The status code for a failure that ODBC reports with the SQLSTATE state and
// the driver's native error number. connecting says whether the failure came
// from SQLDriverConnect, where every failure but a refused login or a lack of
// memory means the database could not be reached.
std::uint32_t StatusForSqlState(std::string_view state, long nativeError, bool connecting);

// Whether a failure reported with state and nativeError on an open session
// means that the server connection is gone: any SQLSTATE of class 08, or,
// whatever the SQLSTATE, the client libraries' numbers for it: MySQL's and
// MariaDB's "server has gone away" (2006), "lost connection" (2013, 2055),
// MariaDB's "read error" and "write error" on the network (5013, 5014), and
// FreeTDS's failed read, failed write and unexpected end of stream (20004,
// 20006, 20017).
bool IsConnectionLost(std::string_view state, long nativeError);

// The ADO data-type code (adInteger, adVarWChar, ...) for an ODBC SQL type.
long AdoTypeForSqlType(int sqlType);

}  // namespace ado

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

// The ADO data-type code (adInteger, adVarWChar, ...) for an ODBC SQL type.
long AdoTypeForSqlType(int sqlType);

}  // namespace ado

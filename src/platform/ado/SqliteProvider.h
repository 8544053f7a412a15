// The SQLite provider: "Provider=SQLite;Data Source=<file>".
//
// The session itself is reached through OpenSqliteSession (Providers.h); this
// header shows what the rest of the layer, and its tests, may rely on.
#pragma once

#include <cstdint>
#include <string_view>

namespace ado {

// How long a statement waits for a lock held by another connection before it
// fails with AbortLimitReached: ADO's default command time-out of 30 seconds.
// The connection-string key "Busy Timeout" (milliseconds) may shorten it.
constexpr int kSqliteDefaultBusyTimeoutMs = 30000;

// The status code for a failure that SQLite reported with extendedCode (an
// extended result code; the primary code is its low byte) and message
// (sqlite3_errmsg).
std::uint32_t StatusForSqliteFailure(int extendedCode, std::string_view message);

// The ADO data-type code that the columns schema reports for a column declared
// with declaredType (the text of the column's declaration, e.g. "VARCHAR(50)").
std::int64_t AdoTypeForDeclaredType(std::string_view declaredType);

}  // namespace ado

// What the connection and the recordset both report and take: their state
// (closed or open) and the command type left to the provider.
#pragma once

namespace ado {

constexpr long adStateClosed = 0;
constexpr long adStateOpen = 1;

constexpr long adCmdUnspecified = -1;

}  // namespace ado

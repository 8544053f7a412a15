// Faults placed in the driver manager's calls. The fault test executable
// defines SQLEndTran, SQLSetConnectAttrW and SQLExecDirectW itself, so the
// program's calls come here first; each goes on to the driver manager (found
// with dlsym(RTLD_NEXT)) unless a fault is armed for it. An armed fault fires
// once.
#pragma once

#include <sql.h>

namespace faults::odbc {

// The next SQLEndTran with this completion type (SQL_COMMIT or SQL_ROLLBACK)
// fails with SQL_ERROR without reaching the driver.
void FailNextEndTran(SQLSMALLINT completionType);
// The next SQLSetConnectAttrW that switches autocommit on fails likewise.
void FailNextAutocommitOn();
// The count-th SQLExecDirectW from now (1 for the next) throws
// std::bad_alloc instead of running, as an allocation would that fails.
void ThrowOnExecute(int count);
// Disarms every fault.
void Disarm();

}  // namespace faults::odbc

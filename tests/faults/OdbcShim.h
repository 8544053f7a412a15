// Faults placed in the driver manager's calls. The fault test executable
// defines SQLEndTran, SQLSetConnectAttrW, SQLExecDirectW, SQLDriverConnectW,
// SQLDisconnect and SQLGetDiagRecW itself, so the program's calls come here first; each
// goes on to the driver manager (found with dlsym(RTLD_NEXT)) unless a fault
// is armed for it. An armed fault fires once.
#pragma once

#include <sql.h>

#include <string>

namespace faults::odbc {

// The next SQLEndTran with this completion type (SQL_COMMIT or SQL_ROLLBACK)
// fails with SQL_ERROR without reaching the driver.
void FailNextEndTran(SQLSMALLINT completionType);
// The next commit (SQLEndTran with SQL_COMMIT) fails as one whose connection
// was lost: SQL_ERROR with SQLSTATE 08S01. When reachesServer is true the
// commit is first carried out by the driver, as when only the reply is lost.
void LoseNextCommitReply(bool reachesServer);
// The next SQLSetConnectAttrW that switches autocommit on fails likewise.
void FailNextAutocommitOn();
// The count-th SQLExecDirectW from now (1 for the next) throws
// std::bad_alloc instead of running, as an allocation would that fails.
void ThrowOnExecute(int count);
// The next SQLExecDirectW whose statement begins with start reports success
// without reaching the driver, as a statement the server ignored would.
void SkipNextExecute(const std::string& start);
// The next SQLDriverConnectW gets ";AUTO_RECONNECT=1" after everything the
// program wrote, so the MariaDB driver reconnects on its own whatever the
// program asked for.
void ForceAutoReconnect();
// The next SQLDriverConnectW fails as a server that cannot be reached:
// SQL_ERROR with SQLSTATE 08001, without reaching the driver.
void FailNextConnect();
// The next SQLDisconnect reports success without reaching the driver: the
// session stays open on the server, with whatever transaction it holds, as
// when the network between them went away. The handle is never freed.
void KeepNextSessionOnDisconnect();
// Disarms every fault.
void Disarm();

}  // namespace faults::odbc

#include "OdbcShim.h"

#include <dlfcn.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <atomic>
#include <cstdint>
#include <new>

namespace faults::odbc {
namespace {

std::atomic<int> failEndTran{-1};
std::atomic<bool> failAutocommitOn{false};
std::atomic<int> executesBeforeThrow{0};

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

void FailNextEndTran(SQLSMALLINT completionType) {
    failEndTran = completionType;
}
void FailNextAutocommitOn() {
    failAutocommitOn = true;
}
void ThrowOnExecute(int count) {
    executesBeforeThrow = count;
}
void Disarm() {
    failEndTran = -1;
    failAutocommitOn = false;
    executesBeforeThrow = 0;
}

}  // namespace faults::odbc

using namespace faults::odbc;

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completionType) {
    int armed = completionType;
    if (failEndTran.compare_exchange_strong(armed, -1)) return SQL_ERROR;
    static const auto real = next<SQLRETURN(SQL_API*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT)>("SQLEndTran");
    return real(handleType, handle, completionType);
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER length) {
    if (attribute == SQL_ATTR_AUTOCOMMIT &&
        reinterpret_cast<std::uintptr_t>(value) == static_cast<std::uintptr_t>(SQL_AUTOCOMMIT_ON) &&
        failAutocommitOn.exchange(false))
        return SQL_ERROR;
    static const auto real =
        next<SQLRETURN(SQL_API*)(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER)>("SQLSetConnectAttrW");
    return real(connection, attribute, value, length);
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    if (executesBeforeThrow > 0 && --executesBeforeThrow == 0) throw std::bad_alloc();
    static const auto real = next<SQLRETURN(SQL_API*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>("SQLExecDirectW");
    return real(statement, text, length);
}

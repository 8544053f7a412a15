#include "OdbcShim.h"

#include <dlfcn.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>

namespace faults::odbc {
namespace {

std::atomic<int> failEndTran{-1};
std::atomic<int> loseCommitReply{0};  // 0 disarmed, 1 before the driver, 2 after it
std::atomic<bool> failAutocommitOn{false};
std::atomic<int> executesBeforeThrow{0};
std::atomic<bool> forceAutoReconnect{false};
std::atomic<bool> failConnect{false};
std::atomic<bool> keepSession{false};
std::mutex skipMutex;
std::string skipStart;  // empty when disarmed

// The diagnostic record of a faked failure, answered by SQLGetDiagRecW for
// the handle that failed until the program has read past it.
struct FakeDiagnostic {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    std::string state;
    SQLINTEGER native = 0;
    std::string message;
};
std::mutex diagnosticMutex;
FakeDiagnostic pending;

SQLRETURN failWith(SQLHANDLE handle, const char* state, SQLINTEGER native, const char* message) {
    std::lock_guard lock(diagnosticMutex);
    pending = {handle, state, native, message};
    return SQL_ERROR;
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

void FailNextEndTran(SQLSMALLINT completionType) {
    failEndTran = completionType;
}
void LoseNextCommitReply(bool reachesServer) {
    loseCommitReply = reachesServer ? 2 : 1;
}
void FailNextAutocommitOn() {
    failAutocommitOn = true;
}
void ThrowOnExecute(int count) {
    executesBeforeThrow = count;
}
void ForceAutoReconnect() {
    forceAutoReconnect = true;
}
void FailNextConnect() {
    failConnect = true;
}
void SkipNextExecute(const std::string& start) {
    std::lock_guard lock(skipMutex);
    skipStart = start;
}
void KeepNextSessionOnDisconnect() {
    keepSession = true;
}
void Disarm() {
    failEndTran = -1;
    loseCommitReply = 0;
    failAutocommitOn = false;
    executesBeforeThrow = 0;
    forceAutoReconnect = false;
    failConnect = false;
    keepSession = false;
    {
        std::lock_guard lock(skipMutex);
        skipStart.clear();
    }
    std::lock_guard lock(diagnosticMutex);
    pending = {};
}

}  // namespace faults::odbc

using namespace faults::odbc;

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completionType) {
    int armed = completionType;
    if (failEndTran.compare_exchange_strong(armed, -1)) return SQL_ERROR;
    static const auto real = next<SQLRETURN(SQL_API*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT)>("SQLEndTran");
    const int lose = completionType == SQL_COMMIT ? loseCommitReply.exchange(0) : 0;
    if (lose == 2) {
        const SQLRETURN rc = real(handleType, handle, completionType);
        if (!SQL_SUCCEEDED(rc)) return rc;
    }
    if (lose != 0)
        return failWith(handle, "08S01", 2013, "Lost connection to server during query (fault test)");
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
    {
        std::lock_guard lock(skipMutex);
        const std::size_t count = length == SQL_NTS ? std::char_traits<SQLWCHAR>::length(text)
                                                    : static_cast<std::size_t>(length);
        if (!skipStart.empty() && count >= skipStart.size() &&
            std::equal(skipStart.begin(), skipStart.end(), text,
                       [](char a, SQLWCHAR b) { return static_cast<SQLWCHAR>(a) == b; })) {
            skipStart.clear();
            return SQL_SUCCESS;
        }
    }
    static const auto real = next<SQLRETURN(SQL_API*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>("SQLExecDirectW");
    return real(statement, text, length);
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC connection, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength,
                                    SQLWCHAR* out, SQLSMALLINT outMax, SQLSMALLINT* outLength,
                                    SQLUSMALLINT completion) {
    if (failConnect.exchange(false))
        return failWith(connection, "08001", 2002, "Can't connect to server (fault test)");
    static const auto real =
        next<SQLRETURN(SQL_API*)(SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT,
                                 SQLSMALLINT*, SQLUSMALLINT)>("SQLDriverConnectW");
    if (!forceAutoReconnect.exchange(false))
        return real(connection, window, in, inLength, out, outMax, outLength, completion);
    std::basic_string<SQLWCHAR> text =
        inLength == SQL_NTS ? std::basic_string<SQLWCHAR>(in) : std::basic_string<SQLWCHAR>(in, inLength);
    for (char c : std::string(";AUTO_RECONNECT=1")) text.push_back(static_cast<SQLWCHAR>(c));
    return real(connection, window, text.data(), SQL_NTS, out, outMax, outLength, completion);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC connection) {
    if (keepSession.exchange(false)) return SQL_SUCCESS;
    static const auto real = next<SQLRETURN(SQL_API*)(SQLHDBC)>("SQLDisconnect");
    return real(connection);
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record,
                                 SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                                 SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    {
        std::lock_guard lock(diagnosticMutex);
        if (pending.handle != SQL_NULL_HANDLE && pending.handle == handle) {
            if (record != 1) {
                pending = {};
                return SQL_NO_DATA;
            }
            for (std::size_t i = 0; i < 5; ++i) state[i] = static_cast<SQLWCHAR>(pending.state[i]);
            state[5] = 0;
            if (native) *native = pending.native;
            const std::size_t room = bufferLength > 0 ? static_cast<std::size_t>(bufferLength) - 1 : 0;
            const std::size_t copied = std::min(room, pending.message.size());
            for (std::size_t i = 0; i < copied; ++i) message[i] = static_cast<SQLWCHAR>(pending.message[i]);
            if (bufferLength > 0) message[copied] = 0;
            if (textLength) *textLength = static_cast<SQLSMALLINT>(pending.message.size());
            return SQL_SUCCESS;
        }
    }
    static const auto real =
        next<SQLRETURN(SQL_API*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLWCHAR*, SQLINTEGER*, SQLWCHAR*,
                                 SQLSMALLINT, SQLSMALLINT*)>("SQLGetDiagRecW");
    return real(handleType, handle, record, state, native, message, bufferLength, textLength);
}

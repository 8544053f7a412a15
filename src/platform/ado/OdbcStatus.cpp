// What an ODBC failure means to the program: the status code an SQLSTATE and
// a driver's native error stand for, and whether they say the server
// connection is gone.
#include <cstdint>
#include <string_view>

#include "OdbcProvider.h"
#include "StatusCodes.h"

namespace ado {
namespace {

bool isClass(std::string_view state, std::string_view cls) {
    return state.substr(0, 2) == cls;
}

}  // namespace

bool IsConnectionLost(std::string_view state, long nativeError) {
    if (isClass(state, "08")) return true;
    // The client libraries' own numbers for a connection that has gone,
    // whatever SQLSTATE the driver wraps them in (MariaDB's driver says
    // HY000, or HY001 when it fails to switch autocommit; FreeTDS a warning
    // of class 01 for an end of stream). A server's message that happened to
    // carry one of these numbers would end the session as lost: the safe way
    // to be wrong.
    switch (nativeError) {
        case 2006:   // MySQL client: server has gone away
        case 2013:   // MySQL client: lost connection during query
        case 2055:   // MySQL client: lost connection, system error
        case 5013:   // MariaDB Connector/C: read error on the network
        case 5014:   // MariaDB Connector/C: write error on the network
        case 20004:  // FreeTDS: read from the server failed
        case 20006:  // FreeTDS: write to the server failed
        case 20017:  // FreeTDS: unexpected end of stream from the server
            return true;
        default:
            return false;
    }
}

std::uint32_t StatusForSqlState(std::string_view state, long nativeError, bool connecting) {
    if (IsConnectionLost(state, nativeError))
        return connecting ? status::CannotConnect : status::ConnectionLost;
    if (state == "HY001") return status::OutOfMemory;
    if (isClass(state, "28")) return status::AuthenticationFailed;
    if (connecting) return status::CannotConnect;
    if (state == "42S02" || state == "S0002") return status::NoTable;
    if (isClass(state, "23")) return status::IntegrityViolation;
    if (state == "HYT00" || state == "HYT01" || state == "40001" || state == "HY008")
        return status::AbortLimitReached;
    if (state == "IM002" || state == "IM003" || state == "IM004" || state == "IM006")
        return status::CannotConnect;
    if (state == "HY000") {
        // MySQL and MariaDB report a lock wait that ran out (1205) this way.
        if (nativeError == 1205) return status::AbortLimitReached;
        return status::Unspecified;
    }
    for (std::string_view cls : {"42", "22", "07", "21", "24", "25", "3D", "3F", "44", "0A"})
        if (isClass(state, cls)) return status::ErrorsInCommand;
    if (state == "37000" || state == "S0001" || state == "S0021" || state == "S0022")
        return status::ErrorsInCommand;
    return status::Unspecified;
}

}  // namespace ado

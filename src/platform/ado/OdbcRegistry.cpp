// The drivers and data sources the ODBC driver manager knows, with the
// library each driver is, read before a connection string is written for it.
// Windows' ODBC headers use its types without including them.
#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ConnectionString.h"
#include "OdbcConnectionString.h"
#include "Utf16.h"

namespace ado {
namespace {

std::string fromWide(const SQLWCHAR* text, std::size_t length) {
    return platform::Utf16ToUtf8(std::u16string(text, text + length));
}

}  // namespace

OdbcRegistry ReadOdbcRegistry() {
    OdbcRegistry registry;
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) return registry;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_OV_ODBC3)), 0);
    // Each driver's attributes are "key=value" texts one after another, each
    // ended by a NUL; "Driver" names its library where the manager says.
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[512] = {};
        SQLWCHAR attributes[4096] = {};
        SQLSMALLINT nameLength = 0, attributesLength = 0;
        const SQLRETURN rc =
            SQLDriversW(environment, direction, name, 512, &nameLength, attributes, 4096, &attributesLength);
        if (!SQL_SUCCEEDED(rc)) break;
        OdbcRegistry::Entry entry{
            fromWide(name, std::min<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0), 511)), {}};
        const std::size_t used = std::min<std::size_t>(std::max<SQLSMALLINT>(attributesLength, 0), 4095);
        for (std::size_t begin = 0; begin < used;) {
            std::size_t end = begin;
            while (end < used && attributes[end] != 0) ++end;
            const std::string attribute = fromWide(attributes + begin, end - begin);
            if (attribute.size() > 7 && EqualsIgnoreCase(std::string_view(attribute).substr(0, 7), "Driver="))
                entry.target = attribute.substr(7);
            begin = end + 1;
        }
        registry.drivers.push_back(std::move(entry));
        direction = SQL_FETCH_NEXT;
    }
    // Each data source with its driver, as the data source's entry names it.
    direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[512] = {};
        SQLWCHAR driver[1024] = {};
        SQLSMALLINT nameLength = 0, driverLength = 0;
        const SQLRETURN rc =
            SQLDataSourcesW(environment, direction, name, 512, &nameLength, driver, 1024, &driverLength);
        if (!SQL_SUCCEEDED(rc)) break;
        registry.dataSources.push_back(
            {fromWide(name, std::min<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0), 511)),
             fromWide(driver, std::min<std::size_t>(std::max<SQLSMALLINT>(driverLength, 0), 1023))});
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return registry;
}

std::vector<std::string> RegisteredOdbcDrivers() {
    std::vector<std::string> drivers;
    for (const auto& d : ReadOdbcRegistry().drivers) drivers.push_back(d.name);
    return drivers;
}

}  // namespace ado

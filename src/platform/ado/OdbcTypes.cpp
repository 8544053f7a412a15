// The ADO data-type code for each ODBC SQL type, as the schema catalogue and
// the recordset's fields report them.
// Windows' ODBC headers use its types without including them.
#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "OdbcProvider.h"

namespace ado {

long AdoTypeForSqlType(int sqlType) {
    switch (sqlType) {
        case SQL_CHAR:
            return 129;
        case SQL_VARCHAR:
            return 200;
        case SQL_LONGVARCHAR:
            return 201;
        case SQL_WCHAR:
            return 130;
        case SQL_WVARCHAR:
            return 202;
        case SQL_WLONGVARCHAR:
            return 203;
        case SQL_INTEGER:
            return 3;
        case SQL_SMALLINT:
            return 2;
        case SQL_TINYINT:
            return 16;
        case SQL_BIGINT:
            return 20;
        case SQL_REAL:
            return 4;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return 5;
        case SQL_DECIMAL:
            return 14;
        case SQL_NUMERIC:
            return 131;
        case SQL_BIT:
            return 11;
        case SQL_TYPE_DATE:
        case SQL_DATE:
            return 133;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            return 134;
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP:
            return 135;
        case SQL_BINARY:
            return 128;
        case SQL_VARBINARY:
            return 204;
        case SQL_LONGVARBINARY:
            return 205;
        default:
            return 12;
    }
}

}  // namespace ado

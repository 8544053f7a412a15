// The ADO-style recordset: a client-side static cursor.
//
// Open fetches every row at once, so RecordCount is exact and the recordset no
// longer needs the connection afterwards. Every failing member throws AdoError.
#pragma once

#include <string>

#include "Field.h"
#include "ObjectState.h"
#include "RowSet.h"

namespace ado {

class Connection;

constexpr long adUseServer = 2;
constexpr long adUseClient = 3;
constexpr long adOpenUnspecified = -1;
constexpr long adOpenForwardOnly = 0;
constexpr long adOpenStatic = 3;
constexpr long adLockUnspecified = -1;
constexpr long adLockReadOnly = 1;
constexpr long adLockOptimistic = 3;

class Recordset {
public:
    Recordset() = default;
    // An open recordset over rows already fetched (schema recordsets).
    explicit Recordset(RowSet rows);

    long State() const { return open_ ? adStateOpen : adStateClosed; }
    // Fails with 3704 when already closed.
    void Close();

    long CursorLocation() const { return cursorLocation_; }
    void SetCursorLocation(long value);
    long CursorType() const { return cursorType_; }
    void SetCursorType(long value);
    long LockType() const { return lockType_; }
    void SetLockType(long value);

    // Runs source on activeConnection and positions on the first row. Fails
    // with 3705 when the recordset is already open. Arguments of -1 leave the
    // properties above in force.
    void Open(const std::string& source, Connection& activeConnection, long cursorType = adOpenUnspecified,
              long lockType = adLockUnspecified, long options = adCmdUnspecified);

    long RecordCount() const;
    // EOF is a macro of the C library, hence the spelling.
    bool Eof() const;
    bool Bof() const;
    void MoveNext();
    void MoveFirst();

    long FieldCount() const;
    // Fails with 3265 when there is no such field.
    Field Fields(long index) const;
    Field Fields(const std::string& name) const;

private:
    friend class Field;
    void requireOpen(const char* operation) const;

    RowSet data_;
    bool open_ = false;
    long position_ = 0;  // 0-based; == rows.size() at EOF
    long cursorLocation_ = adUseServer;
    long cursorType_ = adOpenForwardOnly;
    long lockType_ = adLockReadOnly;
};

}  // namespace ado

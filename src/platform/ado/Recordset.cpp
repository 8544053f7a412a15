#include "Recordset.h"

#include "AdoError.h"
#include "Connection.h"
#include "ConnectionString.h"
#include "StatusCodes.h"

namespace ado {

Recordset::Recordset(RowSet rows) : data_(std::move(rows)), open_(true), cursorLocation_(adUseClient) {}

void Recordset::requireOpen(const char* operation) const {
    if (!open_)
        throw AdoError(status::ObjectClosed,
                       std::string(operation) + ": operation is not allowed when the object is closed.");
}

void Recordset::Close() {
    requireOpen("Close");
    open_ = false;
    data_ = {};
    position_ = 0;
}

void Recordset::SetCursorLocation(long value) {
    if (open_) throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    cursorLocation_ = value;
}

void Recordset::SetCursorType(long value) {
    if (open_) throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    cursorType_ = value;
}

void Recordset::SetLockType(long value) {
    if (open_) throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    lockType_ = value;
}

void Recordset::Open(const std::string& source, Connection& activeConnection, long cursorType, long lockType,
                     long /*options*/) {
    if (open_) throw AdoError(status::ObjectOpen, "Operation is not allowed when the object is open.");
    if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
    if (lockType != adLockUnspecified) lockType_ = lockType;
    // Every cursor is fetched whole: the recordset is static whatever was
    // asked, so RecordCount is always exact.
    data_ = activeConnection.Query(source);
    position_ = 0;
    open_ = true;
}

long Recordset::RecordCount() const {
    requireOpen("RecordCount");
    return static_cast<long>(data_.rows.size());
}

bool Recordset::Eof() const {
    requireOpen("EOF");
    return position_ >= static_cast<long>(data_.rows.size());
}

bool Recordset::Bof() const {
    requireOpen("BOF");
    return data_.rows.empty();
}

void Recordset::MoveNext() {
    requireOpen("MoveNext");
    if (Eof()) throw AdoError(status::NoCurrentRecord, "Either BOF or EOF is True.");
    ++position_;
}

void Recordset::MoveFirst() {
    requireOpen("MoveFirst");
    position_ = 0;
}

long Recordset::FieldCount() const {
    requireOpen("Fields");
    return static_cast<long>(data_.columns.size());
}

Field Recordset::Fields(long index) const {
    requireOpen("Fields");
    if (index < 0 || index >= static_cast<long>(data_.columns.size()))
        throw AdoError(status::ItemNotFound,
                       "Item cannot be found in the collection: " + std::to_string(index));
    return Field(*this, static_cast<int>(index));
}

Field Recordset::Fields(const std::string& name) const {
    requireOpen("Fields");
    for (std::size_t i = 0; i < data_.columns.size(); ++i)
        if (EqualsIgnoreCase(data_.columns[i], name)) return Field(*this, static_cast<int>(i));
    throw AdoError(status::ItemNotFound, "Item cannot be found in the collection: " + name);
}

const std::string& Field::Name() const {
    return owner_->data_.columns.at(index_);
}

std::int64_t Field::Type() const {
    const auto& types = owner_->data_.types;
    return static_cast<std::size_t>(index_) < types.size() ? types[static_cast<std::size_t>(index_)] : -1;
}

const Variant& Field::Value() const {
    owner_->requireOpen("Value");
    if (owner_->Eof()) throw AdoError(status::NoCurrentRecord, "Either BOF or EOF is True.");
    return owner_->data_.rows[owner_->position_].at(index_);
}

}  // namespace ado

// One field of a recordset's current row.
#pragma once

#include <cstdint>
#include <string>

#include "Variant.h"

namespace ado {

class Recordset;

class Field {
public:
    Field(const Recordset& owner, int index) : owner_(&owner), index_(index) {}

    const std::string& Name() const;
    // The column's declared type as an ADO data-type code; -1 when unknown.
    std::int64_t Type() const;
    // The value in the current row; fails with 3021 when there is none.
    const Variant& Value() const;

private:
    const Recordset* owner_;
    int index_;
};

}  // namespace ado

// Rows fetched by a provider: what a client-side static cursor holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Variant.h"

namespace ado {

// A value for a statement parameter; binary marks text that holds bytes to
// be stored as binary data.
struct Parameter {
    Variant value;
    bool binary = false;
};

struct RowSet {
    std::vector<std::string> columns;
    // Each column's declared type as an ADO data-type code, when the
    // provider says (empty otherwise).
    std::vector<std::int64_t> types;
    std::vector<std::vector<Variant>> rows;
};

}  // namespace ado

// Rows fetched by a provider: what a client-side static cursor holds.
#pragma once

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
    std::vector<std::vector<Variant>> rows;
};

}  // namespace ado

// Rows fetched by a provider: what a client-side static cursor holds.
#pragma once

#include <string>
#include <vector>

#include "Variant.h"

namespace ado {

struct RowSet {
    std::vector<std::string> columns;
    std::vector<std::vector<Variant>> rows;
};

}  // namespace ado

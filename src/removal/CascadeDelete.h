// Removing one examination and every row that belongs to it from one set of
// tables (the live ones, or the "_BK" twins), in one transaction.
#pragma once

#include <string>

#include "Toolkit.h"
#include "ado/Connection.h"

namespace removal {

// True when every statement ran and the transaction was committed. On the
// first failure the operator is told which table and why, the transaction is
// rolled back and the result is false.
bool Deleta_Exame_em_Cascata(ado::Connection& fCN, const std::string& Num_Exame,
                             const std::string& Terminação, platform::Toolkit& ui);

// The older six-table removal: no transaction, and a failed statement is
// reported and the next one still sent.
void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                 const std::string& Terminação, platform::Toolkit& ui);

}  // namespace removal

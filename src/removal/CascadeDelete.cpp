#include "CascadeDelete.h"

namespace removal {

bool Deleta_Exame_em_Cascata(ado::Connection&, const std::string&, const std::string&, platform::Toolkit&) {
    return false;
}

void Deleta_Exame_em_Cascata_old(ado::Connection&, const std::string&, const std::string&, platform::Toolkit&) {}

}  // namespace removal

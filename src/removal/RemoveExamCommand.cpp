#include "RemoveExamCommand.h"

namespace removal {

void cmdAtualizar_Click(const std::string&, ado::Connection&, platform::Toolkit&) {}

}  // namespace removal

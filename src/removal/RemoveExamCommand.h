// The "Remover" command of the main window.
#pragma once

#include <string>

#include "Toolkit.h"
#include "ado/Connection.h"

namespace removal {

// Removes the examination whose number the operator typed (numeroExame, the
// text box's content exactly as typed) from the live tables and then from
// their "_BK" twins, after checking that it exists and asking to confirm.
// Every outcome is told through ui; the form's pointer is the hourglass while
// the cascades run.
void cmdAtualizar_Click(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui);

}  // namespace removal

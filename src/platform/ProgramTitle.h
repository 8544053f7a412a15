// The program's title: the main window's caption and the title of the
// run-time error report.
#pragma once

namespace platform {

inline constexpr const char* kProgramTitle = "Quelvomir 4.0 - Remover exame";

}  // namespace platform

// The event boundary of a form: what happens to a failure that nothing on the
// way caught. The program shows the run-time error report and ends; no
// exception ever crosses the toolkit's event loop.
#pragma once

#include <exception>
#include <functional>

#include "Toolkit.h"

namespace platform {

// The title of the run-time error report: the program's own title.
extern const char* const kRuntimeErrorTitle;

// The exit status of a program ended by the run-time error report.
constexpr int kRuntimeErrorExitCode = 2;

// Tells the operator about error (number and standard text, in a message box
// with OK only), writes what the IT person needs to standard error and ends
// the program through ui with kRuntimeErrorExitCode.
void ReportRuntimeError(Toolkit& ui, const std::exception_ptr& error);

// Runs action; when an exception escapes it, reports it as above. True when
// action returned normally.
bool RunGuarded(Toolkit& ui, const std::function<void()>& action);

}  // namespace platform

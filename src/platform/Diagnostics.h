// Diagnostics for the IT person: the driver's message, the failing statement,
// the system's error number. They go to standard error, one line each, and a
// test can take them instead to read what was said.
#pragma once

#include <functional>
#include <string_view>

namespace platform {

// Where diagnostics go: the part of the program that speaks ("ODBC",
// "SQLite", "clsADO", ...) and what it says.
using DiagnosticReceiver = std::function<void(std::string_view category, std::string_view text)>;

// Tells one diagnostic: by default the line "category: text" on standard
// error, written at once so that lines from two threads do not interleave.
void Diagnose(std::string_view category, std::string_view text);

// Sends every later diagnostic to receiver instead of standard error (an
// empty receiver restores standard error) and gives back the one it replaces.
DiagnosticReceiver ReplaceDiagnosticReceiver(DiagnosticReceiver receiver);

}  // namespace platform

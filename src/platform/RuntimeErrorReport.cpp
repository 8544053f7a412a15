#include "RuntimeErrorReport.h"

#include "Diagnostics.h"
#include "ProgramTitle.h"
#include "RuntimeError.h"

namespace platform {

const char* const kRuntimeErrorTitle = kProgramTitle;

namespace {

// The exception's own description, which the report to the operator leaves
// out (it may be in English, or name a file or a statement).
std::string detailOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

}  // namespace

void ReportRuntimeError(Toolkit& ui, const std::exception_ptr& error) {
    const ErrorReport report = DescribeUncaught(error);
    Diagnose("remover-exame", "run-time error " + std::to_string(report.number) + ": " + detailOf(error));
    // The box itself must not let a second failure escape the boundary.
    try {
        ui.MsgBox(RuntimeErrorPrompt(report), vbOKOnly, kRuntimeErrorTitle);
    } catch (...) {
        Diagnose("remover-exame", "the run-time error report could not be shown");
    }
    ui.End(kRuntimeErrorExitCode);
}

bool RunGuarded(Toolkit& ui, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (...) {
        ReportRuntimeError(ui, std::current_exception());
        return false;
    }
}

}  // namespace platform

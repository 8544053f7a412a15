// The toolkit of a program run from a terminal: what a window would show in a
// message box is written as one line of text, and every box is answered OK
// (the command line asks for its confirmation with an option instead).
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "Toolkit.h"

namespace platform {

class ConsoleToolkit : public ToolkitState {
public:
    explicit ConsoleToolkit(std::ostream& out) : out_(out) {}

    // Put before every message, e.g. which examination it is about.
    void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }
    // Runs before each message is written (to clear a progress bar).
    void SetBeforeWrite(std::function<void()> beforeWrite) { beforeWrite_ = std::move(beforeWrite); }

    // Writes prompt on one line: its line breaks become single spaces and
    // other control characters "?", so no text can move the terminal's
    // cursor. An OK/Cancel box is shown answered: " [OK]".
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;

    // prompt as MsgBox writes it.
    static std::string OneLine(const std::string& prompt);

private:
    std::ostream& out_;
    std::string prefix_;
    std::function<void()> beforeWrite_;
};

}  // namespace platform

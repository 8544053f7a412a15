// Everything a form does that the operator sees besides its own controls:
// modal message boxes, the form's mouse pointer and ending the program.
//
// Each form talks to one Toolkit. The real one (qt/QtToolkit) shows Qt
// dialogs over its form; tests hand in a double that records every call and
// answers from a script, so no logic depends on a live display.
#pragma once

#include <string>

namespace platform {

// Button sets.
constexpr int vbOKOnly = 0;
constexpr int vbOKCancel = 1;
// Answers.
constexpr int vbOK = 1;
constexpr int vbCancel = 2;
// Mouse pointers.
constexpr int vbDefault = 0;
constexpr int vbHourglass = 11;

class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Shows a modal message box without an icon and waits for the operator.
    // buttons is vbOKOnly or vbOKCancel (OK the default button). Returns vbOK,
    // or vbCancel for Cancel, Escape and the close control.
    virtual int MsgBox(const std::string& prompt, int buttons, const std::string& title) = 0;

    // The form's mouse pointer: vbDefault or vbHourglass.
    virtual void SetMousePointer(int pointer) = 0;
    virtual int MousePointer() const = 0;

    // Ends the program with exitCode. The caller returns at once afterwards;
    // no further event of the program runs and no window stays on screen.
    virtual void End(int exitCode) = 0;
    virtual bool Ended() const = 0;
    virtual int ExitCode() const = 0;
};

// The state every toolkit keeps the same way: the pointer last set, whether
// the program has ended and with what status. A toolkit that also shows the
// pointer or ends a loop overrides SetMousePointer or End and calls these.
class ToolkitState : public Toolkit {
public:
    void SetMousePointer(int pointer) override { pointer_ = pointer; }
    int MousePointer() const override { return pointer_; }

    void End(int exitCode) override {
        ended_ = true;
        exitCode_ = exitCode;
    }
    bool Ended() const override { return ended_; }
    int ExitCode() const override { return exitCode_; }

private:
    int pointer_ = vbDefault;
    bool ended_ = false;
    int exitCode_ = 0;
};

}  // namespace platform

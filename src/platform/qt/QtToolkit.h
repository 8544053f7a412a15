// The toolkit on Qt Widgets: message boxes over one form, that form's mouse
// pointer, and ending the program.
#pragma once

#include <QPointer>
#include <QWidget>

#include "Toolkit.h"

namespace platform {

class QtToolkit : public ToolkitState {
public:
    // form is the window whose pointer this toolkit controls and over which
    // its message boxes are centred. It may be null (boxes then centre on the
    // screen and the pointer calls only record the value).
    explicit QtToolkit(QWidget* form);

    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;

    void SetMousePointer(int pointer) override;

    // Before the event loop runs (start-up) this only records the code: the
    // caller checks Ended() and leaves main with ExitCode(). Inside the loop
    // it also hides every window and makes the loop return exitCode.
    void End(int exitCode) override;

private:
    QPointer<QWidget> form_;
};

}  // namespace platform

// The toolkit on plain Win32: MessageBoxW owned by the active window, the
// form's mouse pointer, and ending the program through the message loop.
#pragma once

#include <windows.h>

#include "Toolkit.h"

namespace platform {

class Win32Toolkit : public ToolkitState {
public:
    // form is the window whose pointer this toolkit controls; it may be null
    // until the window exists (SetForm).
    explicit Win32Toolkit(HWND form = nullptr) : form_(form) {}

    void SetForm(HWND form) { form_ = form; }
    HWND Form() const { return form_; }

    // MessageBoxW with no icon, OK or OK and "Cancelar", OK the default. Its
    // owner is the thread's active window (else the form, when it is on
    // screen), which it disables while it is up; with neither (start-up) it
    // disables every window of the thread. Escape and the close control
    // answer vbCancel, also when the box has OK alone.
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;

    // The hourglass covers the form and its controls, not a message box.
    void SetMousePointer(int pointer) override;

    // Hides the program's windows and posts WM_QUIT with exitCode, which ends
    // the message loop (and any message box's modal loop on the way). Before
    // the loop runs (start-up), WinMain checks Ended() and returns ExitCode().
    void End(int exitCode) override;

    // For the form's window procedure, on WM_SETCURSOR: true when it has set
    // the hourglass and the message is handled.
    bool OnSetCursor(LPARAM lParam) const;

private:
    HWND form_;
};

}  // namespace platform

// What every window of the program does the same way on Win32: ties the
// window to the object that made it, remembers which control had the focus
// when the window was left and gives it back on return, lays itself out again
// when it moves to a monitor with another DPI, and forgets its handle once
// the window is gone.
#pragma once

#include <windows.h>

namespace platform::win32 {

class WindowBase {
public:
    virtual ~WindowBase() = default;

protected:
    // The window procedure of the window's class. The window must be created
    // with this base of its object as the creation parameter (CreateWindowExW's
    // lpParam, as CreationParameter gives it).
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The window's own messages; what it does not handle it passes here,
    // which handles WM_ACTIVATE, WM_DPICHANGED and WM_NCDESTROY and gives the
    // rest to DefWindowProcW.
    virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    // Sizes the window and places its controls for dpi.
    virtual void Layout(UINT dpi) = 0;

    // Keeps the focused control, when it is one of the window's, for the
    // window's return.
    void RememberFocus();

    void* CreationParameter() { return this; }

    HWND window_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to
};

}  // namespace platform::win32

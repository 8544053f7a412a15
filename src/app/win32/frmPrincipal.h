// The main window on plain Win32: the label, the examination number box and
// the "Remover" button, placed in twips through the DPI of the monitor the
// window stands on. It decides nothing itself: start-up and the click of
// "Remover" are the shared core's (app::frmPrincipalCore).
#pragma once

#include <windows.h>

#include <string>

#include "frmPrincipalCore.h"
#include "win32/Win32Toolkit.h"
#include "win32/WindowBase.h"

namespace win32 {

class frmPrincipal : private platform::win32::WindowBase {
public:
    // Control identifiers. None is IDOK: Enter in the number box sends IDOK,
    // and "Remover" is not the window's default button.
    static constexpr int kIdRemover = 100;
    static constexpr int kIdLabel = 101;
    static constexpr int kIdNumber = 102;

    // Creates the window hidden, binds toolkit to it and makes the core.
    frmPrincipal(HINSTANCE instance, platform::Win32Toolkit& toolkit);
    ~frmPrincipal() override;
    frmPrincipal(const frmPrincipal&) = delete;
    frmPrincipal& operator=(const frmPrincipal&) = delete;

    // Start-up (frmPrincipalCore::Load): true when the window may be shown;
    // false when the program has ended after telling the operator why.
    bool Load() { return core_.Load(); }

    // Shows the window centred, frame and all, on its monitor's work area,
    // the focus on "Remover".
    void Show();

    // Runs the message loop until WM_QUIT (closing the window, or End) and
    // returns its status.
    int Run();
    // What the loop does with one message before dispatching it: Tab moves
    // the focus. True when the message was used.
    bool PreTranslate(MSG& message);

    // The text of the number box, as typed.
    std::string txtNumExame() const;

    // True while the click of "Remover" runs: the window then takes no second
    // click, and a close request waits for the click's end.
    bool busy() const { return core_.Busy(); }

    app::frmPrincipalCore& core() { return core_; }
    HWND Window() const { return window_; }
    HWND cmdAtualizar() const { return button_; }
    HWND Label1() const { return label_; }
    HWND txtNumExameControl() const { return edit_; }

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout(UINT dpi) override;
    void cmdAtualizar_Click();

    platform::Win32Toolkit& toolkit_;
    app::frmPrincipalCore core_;
    HWND owner_ = nullptr;  // hidden; keeps the window out of the task bar
    HWND button_ = nullptr;
    HWND label_ = nullptr;
    HWND edit_ = nullptr;
    HFONT font_ = nullptr;
};

}  // namespace win32

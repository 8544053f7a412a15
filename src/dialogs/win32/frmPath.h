// The directory chooser on plain Win32: the path box, the directory list
// (an owner-drawn list box that shows the folder tree), the drive list and
// the two buttons, placed in twips through the window's DPI. It decides
// nothing itself: every field, rule and handler is the shared core's
// (dialogs::frmPathCore); this window shows its state and forwards the
// operator's actions.
#pragma once

#include <windows.h>

#include <string>

#include "frmPathCore.h"
#include "win32/Win32Toolkit.h"
#include "win32/WindowBase.h"

namespace win32 {

class frmPath : public dialogs::frmPathView, private platform::win32::WindowBase {
public:
    // Control identifiers; the buttons are IDOK and IDCANCEL, so that Enter
    // presses OK and Escape presses Cancelar.
    static constexpr int kIdLblPath = 200;
    static constexpr int kIdTxtPath = 201;
    static constexpr int kIdLblDirs = 202;
    static constexpr int kIdDirDirs = 203;
    static constexpr int kIdLblDrives = 204;
    static constexpr int kIdDrvDrives = 205;
    static constexpr int kIdLblPrompt = 206;

    // Creates the dialog hidden; it loads (Form_Load) on first use.
    explicit frmPath(HINSTANCE instance);
    ~frmPath() override;
    frmPath(const frmPath&) = delete;
    frmPath& operator=(const frmPath&) = delete;

    // The fields and handlers: PathInício, OK, the path box's text.
    dialogs::frmPathCore& core() { return core_; }

    // Shows the dialog modally, centred on owner (which takes no input
    // meanwhile), until OK or Cancelar hides it or the window is closed;
    // returns OK(). A WM_QUIT met on the way ends it and is passed on.
    bool ShowModal(HWND owner);

    HWND Window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }

    // frmPathView
    void ShowCaptions() override;
    void ShowTxtPath() override;
    void SelectAllTxtPath() override;
    void Hide(bool accepted) override;

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout(UINT dpi) override;
    void SizeLabel(int id, const platform::TwipsPoint& at);
    void FillDrives();
    void FillDirs();
    void DrawDirEntry(const DRAWITEMSTRUCT& item);
    void EndModal();

    platform::Win32Toolkit toolkit_;
    dialogs::frmPathCore core_;
    HWND hiddenOwner_ = nullptr;  // keeps the dialog out of the task bar
    HWND owner_ = nullptr;  // while shown
    HFONT font_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool modal_ = false;
    bool showingText_ = false;  // the path box changes by code
};

}  // namespace win32

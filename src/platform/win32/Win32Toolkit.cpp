#include "win32/Win32Toolkit.h"

#include "WideText.h"

namespace platform {
namespace {

// What the hooks learn about the box that MessageBoxW is showing. A box is a
// dialog of class "#32770" made by the calling thread.
struct BoxWatch {
    int buttons = vbOKOnly;
    HWND box = nullptr;
    WNDPROC boxProc = nullptr;
    bool dismissed = false;  // Escape or the close control, not a button
    HHOOK creation = nullptr;
    HHOOK keys = nullptr;
    BoxWatch* outer = nullptr;  // a box shown while another one is up
};
thread_local BoxWatch* tWatch = nullptr;

bool IsDialogClass(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return lstrcmpW(name, L"#32770") == 0;
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    BoxWatch* watch = tWatch;
    while (watch && watch->box != box) watch = watch->outer;
    if (!watch) return DefWindowProcW(box, message, wParam, lParam);
    const WNDPROC original = watch->boxProc;
    if (message == WM_CLOSE) watch->dismissed = true;
    const LRESULT result = CallWindowProcW(original, box, message, wParam, lParam);
    if (message == WM_INITDIALOG && watch->buttons == vbOKCancel) {
        // The system names its buttons in its own language; the program
        // speaks Portuguese everywhere.
        SetDlgItemTextW(box, IDOK, L"OK");
        SetDlgItemTextW(box, IDCANCEL, L"Cancelar");
    }
    if (message == WM_NCDESTROY) watch->box = nullptr;
    return result;
}

// Catches the box as it is created, before its first message.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    BoxWatch* watch = tWatch;
    if (code == HCBT_CREATEWND && watch && !watch->boxProc) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialogClass(window)) {
            watch->box = window;
            watch->boxProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxProc)));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Sees the keys of the box's modal loop: Escape never reaches the box itself.
LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    BoxWatch* watch = tWatch;
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && watch && watch->box && message->message == WM_KEYDOWN &&
        message->wParam == VK_ESCAPE && (message->hwnd == watch->box || IsChild(watch->box, message->hwnd))) {
        watch->dismissed = true;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool IsOnForm(HWND form) {
    POINT where;
    if (!form || !IsWindowVisible(form) || !GetCursorPos(&where)) return false;
    HWND under = WindowFromPoint(where);
    return under == form || IsChild(form, under);
}

BOOL CALLBACK HideWindow(HWND window, LPARAM) {
    if (IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
    return TRUE;
}

}  // namespace

int Win32Toolkit::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    HWND owner = GetActiveWindow();
    if (!owner && form_ && IsWindowVisible(form_)) owner = form_;
    UINT style = (buttons == vbOKCancel ? MB_OKCANCEL : MB_OK) | MB_DEFBUTTON1 | MB_SETFOREGROUND;
    style |= owner ? MB_APPLMODAL : MB_TASKMODAL;

    BoxWatch watch;
    watch.buttons = buttons;
    watch.outer = tWatch;
    const DWORD thread = GetCurrentThreadId();
    watch.creation = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, thread);
    watch.keys = SetWindowsHookExW(WH_MSGFILTER, KeyHook, nullptr, thread);
    tWatch = &watch;
    const int answer = MessageBoxW(owner, platform::WideFromUtf8(prompt).c_str(),
                                   platform::WideFromUtf8(title).c_str(), style);
    tWatch = watch.outer;
    if (watch.keys) UnhookWindowsHookEx(watch.keys);
    if (watch.creation) UnhookWindowsHookEx(watch.creation);

    if (answer != IDOK || watch.dismissed) return vbCancel;
    return vbOK;
}

void Win32Toolkit::SetMousePointer(int pointer) {
    ToolkitState::SetMousePointer(pointer);
    if (!form_) return;
    // The window asks for its pointer only when the mouse moves; the work
    // that follows does not let it ask, so set it now if the mouse is there.
    if (IsOnForm(form_)) SetCursor(LoadCursorW(nullptr, pointer == vbHourglass ? IDC_WAIT : IDC_ARROW));
    // Repaint what a closed box uncovered before that work blocks the loop.
    RedrawWindow(form_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool Win32Toolkit::OnSetCursor(LPARAM lParam) const {
    if (MousePointer() != vbHourglass || LOWORD(lParam) != HTCLIENT) return false;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void Win32Toolkit::End(int exitCode) {
    ToolkitState::End(exitCode);
    EnumThreadWindows(GetCurrentThreadId(), HideWindow, 0);
    PostQuitMessage(exitCode);
}

}  // namespace platform

#include "win32/WindowBase.h"

namespace platform::win32 {

LRESULT CALLBACK WindowBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

void WindowBase::RememberFocus() {
    HWND focused = GetFocus();
    if (focused && IsChild(window_, focused)) focus_ = focused;
}

LRESULT WindowBase::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
        case WM_ACTIVATE:
            // A plain window forgets its focused control when it loses the
            // activation; the dialog manager would remember it.
            if (LOWORD(wParam) == WA_INACTIVE)
                RememberFocus();
            else if (focus_)
                SetFocus(focus_);
            return 0;
        case WM_DPICHANGED: {
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            Layout(HIWORD(wParam));
            return 0;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            window_ = nullptr;
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace platform::win32

// The Win32 main window: its controls and captions, its geometry in twips at
// the window's DPI, its frame, the focus, and that typing and clicking reach
// the shared command.
#include <windows.h>

#include <cstdlib>

#include "SmokeSupport.h"
#include "win32/Win32Toolkit.h"
#include "win32/WindowMetrics.h"
#include "win32/frmPrincipal.h"

namespace {

using platform::TwipsToPixels;

RECT ClientRectIn(HWND control, HWND parent) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Near(long a, long b) {
    return std::labs(a - b) <= 1;
}

// Runs the window's own loop for what is queued, then stops.
int Pump(win32::frmPrincipal& w) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
        if (w.PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return -1;
}

void ControlsAndGeometry(win32::frmPrincipal& w) {
    HWND window = w.Window();
    smoke::CheckText(smoke::TextOf(window), L"Quelvomir 4.0 - Remover exame", "caption");
    smoke::CheckText(smoke::TextOf(w.cmdAtualizar()), L"Remover", "button");
    smoke::CheckText(smoke::TextOf(w.Label1()), L"Número Exame:", "label");
    smoke::CheckText(smoke::TextOf(w.txtNumExameControl()), L"", "number box starts empty");

    const UINT dpi = platform::win32::DpiOf(window);
    RECT client;
    GetClientRect(window, &client);
    smoke::Check(client.right == TwipsToPixels(4455, static_cast<int>(dpi)) &&
                     client.bottom == TwipsToPixels(1950, static_cast<int>(dpi)),
                 "client area 4455 x 1950 twips at " + std::to_string(dpi) +
                     " dpi: " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
    const RECT button = ClientRectIn(w.cmdAtualizar(), window);
    const RECT box = ClientRectIn(w.txtNumExameControl(), window);
    smoke::Check(button.left == TwipsToPixels(1440, static_cast<int>(dpi)) &&
                     button.top == TwipsToPixels(1110, static_cast<int>(dpi)) &&
                     button.right - button.left == TwipsToPixels(1650, static_cast<int>(dpi)) &&
                     button.bottom - button.top == TwipsToPixels(465, static_cast<int>(dpi)),
                 "button placed in twips");
    smoke::Check(box.left == TwipsToPixels(1950, static_cast<int>(dpi)) &&
                     box.top == TwipsToPixels(570, static_cast<int>(dpi)) &&
                     box.right - box.left == TwipsToPixels(1815, static_cast<int>(dpi)),
                 "number box placed in twips");
    RECT label;
    GetClientRect(w.Label1(), &label);
    smoke::Check(platform::win32::CaptionWidth(w.Label1()) <= label.right, "label shows its whole caption");

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    smoke::Check(!(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) && (style & WS_SYSMENU),
                 "fixed frame with a close control only");
    smoke::Check(GetWindow(window, GW_OWNER) != nullptr && !(exStyle & WS_EX_APPWINDOW),
                 "not in the task bar");
    smoke::Check(!(GetWindowLongW(w.cmdAtualizar(), GWL_STYLE) & BS_DEFPUSHBUTTON),
                 "Remover is not the default button");
}

void ShownCentredWithFocusOnRemover(win32::frmPrincipal& w) {
    w.Show();
    Pump(w);
    HWND window = w.Window();
    RECT frame;
    GetWindowRect(window, &frame);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    smoke::Check(IsWindowVisible(window) && Near(frame.left + frame.right, work.left + work.right) &&
                     Near(frame.top + frame.bottom, work.top + work.bottom),
                 "shown centred on the work area");
    smoke::Check(GetFocus() == w.cmdAtualizar(), "Remover holds the focus");
}

void EnterInTheBoxDoesNotRemove(win32::frmPrincipal& w) {
    SetFocus(w.txtNumExameControl());
    smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDOK); });
    PostMessageW(w.txtNumExameControl(), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(w.txtNumExameControl(), WM_KEYUP, VK_RETURN, 0xC0000000);
    Pump(w);
    Sleep(100);
    Pump(w);
    smoke::Check(!smoke::LastBox().found, "Enter in the number box does not press Remover");
    KillTimer(nullptr, 0);
    smoke::PendingAnswer() = nullptr;
}

void ClickReachesTheCommand(win32::frmPrincipal& w) {
    SendMessageW(w.txtNumExameControl(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDOK); });
    SendMessageW(w.cmdAtualizar(), BM_CLICK, 0, 0);
    smoke::CheckText(smoke::LastBox().text, L"Digite o número de exame que deseja remover.",
                     "Remover with an empty box asks for a number");
    smoke::Check(smoke::LastBox().owner == w.Window(), "the command's box is owned by the window");

    SendMessageW(w.txtNumExameControl(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L" Açaí 'x' "));
    smoke::CheckText(smoke::TextOf(w.txtNumExameControl()), L" Açaí 'x' ", "the box keeps what is typed");
    smoke::Check(w.txtNumExame() == " A\xC3\xA7\x61\xC3\xAD 'x' ",
                 "the command reads it as UTF-8, untrimmed");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    smoke::Start();
    platform::Win32Toolkit toolkit;
    {
        win32::frmPrincipal w(instance, toolkit);
        smoke::Check(toolkit.Form() == w.Window(), "the toolkit is bound to the window");
        smoke::Check(!IsWindowVisible(w.Window()), "created hidden, for start-up to run first");
        ControlsAndGeometry(w);
        ShownCentredWithFocusOnRemover(w);
        EnterInTheBoxDoesNotRemove(w);
        ClickReachesTheCommand(w);

        PostMessageW(w.Window(), WM_CLOSE, 0, 0);
        smoke::Check(w.Run() == 0, "closing the window ends the loop with status 0");
    }
    return smoke::Result();
}

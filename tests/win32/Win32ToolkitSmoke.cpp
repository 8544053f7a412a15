// The Win32 toolkit on real windows: message boxes answered by every gesture,
// their owner, texts and buttons, the hourglass, and End.
#include <windows.h>

#include "SmokeSupport.h"
#include "win32/Win32Toolkit.h"

using platform::vbCancel;
using platform::vbOK;
using platform::vbOKCancel;
using platform::vbOKOnly;

namespace {

enum class Gesture { ClickOK, ClickCancel, Enter, Escape, CloseControl };

void AnswersByGesture() {
    struct Case {
        const char* name;
        int buttons;
        Gesture gesture;
        int expected;
    } cases[] = {
        {"OK only, click", vbOKOnly, Gesture::ClickOK, vbOK},
        {"OK only, Enter", vbOKOnly, Gesture::Enter, vbOK},
        {"OK only, Escape", vbOKOnly, Gesture::Escape, vbCancel},
        {"OK only, close control", vbOKOnly, Gesture::CloseControl, vbCancel},
        {"OK/Cancel, click OK", vbOKCancel, Gesture::ClickOK, vbOK},
        {"OK/Cancel, Enter picks OK", vbOKCancel, Gesture::Enter, vbOK},
        {"OK/Cancel, click Cancelar", vbOKCancel, Gesture::ClickCancel, vbCancel},
        {"OK/Cancel, Escape", vbOKCancel, Gesture::Escape, vbCancel},
        {"OK/Cancel, close control", vbOKCancel, Gesture::CloseControl, vbCancel},
    };
    for (const Case& c : cases) {
        platform::Win32Toolkit ui;
        smoke::AnswerNextBox([&](HWND box) {
            switch (c.gesture) {
                case Gesture::ClickOK:
                    smoke::Click(box, IDOK);
                    break;
                case Gesture::ClickCancel:
                    smoke::Click(box, IDCANCEL);
                    break;
                case Gesture::Enter:
                    smoke::PressKey(box, VK_RETURN);
                    break;
                case Gesture::Escape:
                    smoke::PressKey(box, VK_ESCAPE);
                    break;
                case Gesture::CloseControl:
                    smoke::CloseControl(box);
                    break;
            }
        });
        const int answer = ui.MsgBox("Pergunta", c.buttons, "Atenção!");
        smoke::Check(smoke::LastBox().found && answer == c.expected,
                     std::string(c.name) + " answers " + std::to_string(answer));
    }
}

void ShowsTextsButtonsNoIcon() {
    platform::Win32Toolkit ui;
    smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDOK); });
    ui.MsgBox("Não foi encontrado o arquivo 'C:\\WINDOWS\\QUELVOMIR.INI.'", vbOKOnly, "Atenção!");
    const smoke::Box ok = smoke::LastBox();
    smoke::CheckText(ok.caption, L"Atenção!", "OK-only title");
    smoke::CheckText(ok.text, L"Não foi encontrado o arquivo 'C:\\WINDOWS\\QUELVOMIR.INI.'",
                     "OK-only prompt");
    smoke::CheckText(ok.cancel, L"", "OK-only box has no Cancel button");
    smoke::Check(!ok.hasIcon, "OK-only box shows no icon");

    smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDCANCEL); });
    ui.MsgBox("Linha um\r\n\r\nErro nº -2147467259 - ção", vbOKCancel, "atenção!");
    const smoke::Box both = smoke::LastBox();
    smoke::CheckText(both.caption, L"atenção!", "OK/Cancel title");
    smoke::CheckText(both.text, L"Linha um\r\n\r\nErro nº -2147467259 - ção", "prompt keeps its line breaks");
    smoke::CheckText(both.ok, L"OK", "OK button");
    smoke::CheckText(both.cancel, L"Cancelar", "Cancel button");
    smoke::Check(both.defaultId == IDOK, "OK is the default button");
    smoke::Check(!both.hasIcon, "OK/Cancel box shows no icon");
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeForm() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SmokeForm";
    RegisterClassW(&wc);
    HWND form = CreateWindowExW(0, L"SmokeForm", L"Form", WS_OVERLAPPEDWINDOW, 40, 40, 300, 200, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ShowWindow(form, SW_SHOW);
    SetActiveWindow(form);
    return form;
}

void OwnerIsActiveWindow() {
    // Start-up: no window on screen, no owner.
    platform::Win32Toolkit startup;
    smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDOK); });
    startup.MsgBox("Início", vbOKOnly, "Atenção!");
    smoke::Check(smoke::LastBox().owner == nullptr, "a box shown before any window has no owner");

    HWND form = MakeForm();
    platform::Win32Toolkit ui(form);
    smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDOK); });
    ui.MsgBox("Com janela", vbOKOnly, "Atenção!");
    smoke::Check(smoke::LastBox().owner == form, "the box is owned by the active form");
    smoke::Check(!smoke::LastBox().ownerEnabled, "the form takes no input while the box is up");
    smoke::Check(IsWindowEnabled(form) != FALSE, "the form takes input again afterwards");

    ui.SetMousePointer(platform::vbHourglass);
    smoke::Check(ui.MousePointer() == platform::vbHourglass &&
                     ui.OnSetCursor(MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) &&
                     GetCursor() == LoadCursorW(nullptr, IDC_WAIT),
                 "hourglass over the form");
    smoke::Check(!ui.OnSetCursor(MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)), "the caption keeps its own pointer");
    ui.SetMousePointer(platform::vbDefault);
    smoke::Check(
        ui.MousePointer() == platform::vbDefault && !ui.OnSetCursor(MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
        "default pointer again");

    ui.End(7);
    smoke::Check(ui.Ended() && ui.ExitCode() == 7, "End records its status");
    smoke::Check(!IsWindowVisible(form), "End leaves no window on screen");
    MSG message;
    int quit = -1;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = static_cast<int>(message.wParam);
            break;
        }
        DispatchMessageW(&message);
    }
    smoke::Check(quit == 7, "End ends the message loop with its status (" + std::to_string(quit) + ")");
    DestroyWindow(form);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    smoke::Start();
    AnswersByGesture();
    ShowsTextsButtonsNoIcon();
    OwnerIsActiveWindow();
    return smoke::Result();
}

#include "win32/frmPrincipal.h"

#include "Twips.h"
#include "WideText.h"
#include "win32/WindowMetrics.h"

namespace win32 {
namespace {

constexpr wchar_t kClass[] = L"RemoverExame.frmPrincipal";
constexpr wchar_t kOwnerClass[] = L"RemoverExame.Owner";

// A fixed dialog frame with a caption and a close control only.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

using Core = app::frmPrincipalCore;

void RegisterClasses(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);  // fails harmlessly when already registered

    WNDCLASSEXW owner = {};
    owner.cbSize = sizeof owner;
    owner.lpfnWndProc = DefWindowProcW;
    owner.hInstance = instance;
    owner.lpszClassName = kOwnerClass;
    RegisterClassExW(&owner);
}

int Pixels(int twips, UINT dpi) {
    return platform::TwipsToPixels(twips, static_cast<int>(dpi));
}

void Place(HWND control, const platform::TwipsRect& r, UINT dpi) {
    SetWindowPos(control, nullptr, Pixels(r.left, dpi), Pixels(r.top, dpi), Pixels(r.width, dpi),
                 Pixels(r.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Control(const wchar_t* kind, const char* caption, DWORD style, DWORD exStyle, HWND parent, int id,
             HINSTANCE instance) {
    return CreateWindowExW(exStyle, kind, platform::WideFromUtf8(caption).c_str(),
                           WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

frmPrincipal::frmPrincipal(HINSTANCE instance, platform::Win32Toolkit& toolkit)
    : toolkit_(toolkit), core_(toolkit) {
    RegisterClasses(instance, Procedure);
    owner_ = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    window_ = CreateWindowExW(kExStyle, kClass, platform::WideFromUtf8(Core::kCaption).c_str(), kStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner_, nullptr, instance,
                              CreationParameter());
    // The tab order follows the order of creation: the button first, so it
    // holds the focus when the window opens.
    button_ = Control(L"BUTTON", Core::kCaptionCmdAtualizar, WS_TABSTOP | BS_PUSHBUTTON, 0, window_,
                      kIdRemover, instance);
    label_ = Control(L"STATIC", Core::kCaptionLabel1, SS_LEFTNOWORDWRAP, 0, window_, kIdLabel, instance);
    edit_ = Control(L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, window_, kIdNumber, instance);
    // No length limit on the number (the control's own default is 30000).
    SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
    focus_ = button_;
    Layout(platform::win32::DpiOf(window_));
    toolkit_.SetForm(window_);
}

frmPrincipal::~frmPrincipal() {
    if (toolkit_.Form() == window_) toolkit_.SetForm(nullptr);
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    if (owner_) DestroyWindow(owner_);
    if (font_) DeleteObject(font_);
}

void frmPrincipal::Layout(UINT dpi) {
    platform::win32::SizeClientArea(window_, Pixels(Core::kClientWidth, dpi),
                                    Pixels(Core::kClientHeight, dpi), dpi);

    // No font of its own: the system's message font at this DPI.
    HFONT font = platform::win32::CreateMessageFont(dpi);
    for (HWND control : {button_, label_, edit_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_) DeleteObject(font_);
    font_ = font;

    Place(button_, Core::kCmdAtualizar, dpi);
    Place(label_, Core::kLabel1, dpi);
    Place(edit_, Core::kTxtNumExame, dpi);
    const platform::TwipsRect& designed = Core::kLabel1;
    const int designedLeft = Pixels(designed.left, dpi);
    const int right = Pixels(designed.left + designed.width, dpi);
    const int left = Core::Label1Left(designedLeft, right, platform::win32::CaptionWidth(label_));
    if (left != designedLeft)
        SetWindowPos(label_, nullptr, left, Pixels(designed.top, dpi), right - left,
                     Pixels(designed.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
}

void frmPrincipal::Show() {
    platform::win32::CentreOnWorkArea(window_);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetFocus(focus_);
}

int frmPrincipal::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool frmPrincipal::PreTranslate(MSG& message) {
    return IsWindow(window_) && IsDialogMessageW(window_, &message);
}

std::string frmPrincipal::txtNumExame() const {
    const int length = GetWindowTextLengthW(edit_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(edit_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return platform::Utf8FromWide(text);
}

void frmPrincipal::cmdAtualizar_Click() {
    // The core reports what it does not catch and ends the program; nothing
    // reaches the message loop. A close request that came during the removal
    // closes the window now.
    if (core_.ClickRemover(txtNumExame())) PostMessageW(window_, WM_CLOSE, 0, 0);
}

LRESULT frmPrincipal::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kIdRemover && HIWORD(wParam) == BN_CLICKED) {
                cmdAtualizar_Click();
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (toolkit_.OnSetCursor(lParam)) return TRUE;
            break;
        case WM_CLOSE:
            // Closing the window ends the program, but not in the middle of a
            // removal: the core keeps the request for the removal's end.
            if (!core_.RequestClose()) return 0;
            DestroyWindow(window_);
            PostQuitMessage(0);
            return 0;
    }
    return WindowBase::Handle(message, wParam, lParam);
}

}  // namespace win32

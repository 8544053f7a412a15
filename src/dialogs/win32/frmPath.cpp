#include "win32/frmPath.h"

#include <algorithm>
#include <cmath>

#include "WideText.h"
#include "win32/WindowMetrics.h"

namespace win32 {
namespace {

using Core = dialogs::frmPathCore;

constexpr wchar_t kClass[] = L"RemoverExame.frmPath";
constexpr wchar_t kOwnerClass[] = L"RemoverExame.frmPath.Owner";
constexpr UINT kOpenEntry = WM_APP + 1;  // wParam: the row double-clicked

// A fixed dialog frame with a caption and a close control only.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

int Pixels(int twips, UINT dpi) {
    return platform::TwipsToPixels(twips, static_cast<int>(dpi));
}

void Place(HWND control, const platform::TwipsRect& r, UINT dpi) {
    SetWindowPos(control, nullptr, Pixels(r.left, dpi), Pixels(r.top, dpi), Pixels(r.width, dpi),
                 Pixels(r.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring Wide(const std::string& text) {
    return platform::WideFromUtf8(text);
}

std::string TextOf(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return platform::Utf8FromWide(text);
}

// A folder drawn in the list's own colours: closed, or open with its front
// flap lowered.
void DrawFolder(HDC dc, int x, int y, int size, bool open) {
    const int u = size / 16 > 0 ? size / 16 : 1;  // one sixteenth of the icon
    HPEN pen = CreatePen(PS_SOLID, u, RGB(128, 96, 0));
    HBRUSH back = CreateSolidBrush(RGB(224, 176, 48));
    HBRUSH front = CreateSolidBrush(RGB(255, 216, 96));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, back);
    // The tab and the back of the folder.
    POINT body[] = {{x + u, y + 3 * u},      {x + 6 * u, y + 3 * u},   {x + 7 * u, y + 4 * u},
                    {x + 15 * u, y + 4 * u}, {x + 15 * u, y + 14 * u}, {x + u, y + 14 * u}};
    Polygon(dc, body, 6);
    SelectObject(dc, front);
    if (open) {
        POINT flap[] = {
            {x + 4 * u, y + 7 * u}, {x + 16 * u, y + 7 * u}, {x + 13 * u, y + 14 * u}, {x + u, y + 14 * u}};
        Polygon(dc, flap, 4);
    } else {
        Rectangle(dc, x + u, y + 6 * u, x + 15 * u + 1, y + 14 * u + 1);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(front);
    DeleteObject(back);
    DeleteObject(pen);
}

int IconSize(UINT dpi) {
    return MulDiv(16, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

}  // namespace

frmPath::frmPath(HINSTANCE instance) : core_(toolkit_) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
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

    hiddenOwner_ =
        CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    window_ = CreateWindowExW(kExStyle, kClass, Wide(Core::kTitle).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, 100, 100, hiddenOwner_, nullptr, instance, CreationParameter());
    // Its own icon, as a form carries one; the stock one of the system.
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    // The tab order follows the order of creation.
    auto make = [&](const wchar_t* kind, const std::string& text, DWORD style, DWORD exStyle, int id) {
        return CreateWindowExW(exStyle, kind, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                               window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    const dialogs::frmPathCaptions& captions = core_.Captions();
    make(L"STATIC", captions.lblPath, SS_LEFTNOWORDWRAP, 0, kIdLblPath);
    make(L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kIdTxtPath);
    make(L"STATIC", captions.lblDirs, SS_LEFTNOWORDWRAP, 0, kIdLblDirs);
    make(L"LISTBOX", "",
         WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
         WS_EX_CLIENTEDGE, kIdDirDirs);
    make(L"STATIC", captions.lblDrives, SS_LEFTNOWORDWRAP, 0, kIdLblDrives);
    make(L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, kIdDrvDrives);
    make(L"BUTTON", captions.cmdOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK);
    make(L"BUTTON", captions.cmdCancel, WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL);
    make(L"STATIC", captions.lblPrompt, SS_LEFT, 0, kIdLblPrompt);
    // No length limit on a typed path (the control's own default is 30000).
    SendMessageW(Control(kIdTxtPath), EM_SETLIMITTEXT, 0, 0);
    focus_ = Control(kIdTxtPath);

    toolkit_.SetForm(window_);
    Layout(platform::win32::DpiOf(window_));
    core_.drvDrives().SetRedraw([this] { FillDrives(); });
    core_.dirDirs().SetRedraw([this] { FillDirs(); });
    FillDrives();
    FillDirs();
    core_.SetView(this);
}

frmPath::~frmPath() {
    core_.SetView(nullptr);
    core_.drvDrives().SetRedraw(nullptr);
    core_.dirDirs().SetRedraw(nullptr);
    toolkit_.SetForm(nullptr);
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    if (hiddenOwner_) DestroyWindow(hiddenOwner_);
    if (font_) DeleteObject(font_);
}

void frmPath::Layout(UINT dpi) {
    dpi_ = dpi;
    platform::win32::SizeClientArea(window_, Pixels(Core::kClientWidth, dpi),
                                    Pixels(Core::kClientHeight, dpi), dpi);

    LOGFONTW look = {};
    look.lfHeight = -static_cast<LONG>(std::lround(Core::kFontPoints * dpi / 72.0));
    look.lfWeight = FW_NORMAL;
    look.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(look.lfFaceName, Wide(Core::kFontName).c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&look);
    for (int id : {kIdLblPath, kIdTxtPath, kIdLblDirs, kIdDirDirs, kIdLblDrives, kIdDrvDrives, IDOK, IDCANCEL,
                   kIdLblPrompt})
        SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_) DeleteObject(font_);
    font_ = font;

    Place(Control(kIdTxtPath), Core::kTxtPath, dpi);
    Place(Control(kIdDirDirs), Core::kDirDirs, dpi);
    Place(Control(IDOK), Core::kCmdOK, dpi);
    Place(Control(IDCANCEL), Core::kCmdCancel, dpi);
    Place(Control(kIdLblPrompt), Core::kLblPrompt, dpi);
    SizeLabel(kIdLblPath, Core::kLblPath);
    SizeLabel(kIdLblDirs, Core::kLblDirs);
    SizeLabel(kIdLblDrives, Core::kLblDrives);

    // Rows as tall as the text or the folder, whichever is taller.
    HWND dirs = Control(kIdDirDirs);
    HDC dc = GetDC(dirs);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(dirs, dc);
    const int row = std::max<int>(metrics.tmHeight, IconSize(dpi)) + 2;
    SendMessageW(dirs, LB_SETITEMHEIGHT, 0, row);

    // The drive list: closed, as tall as its place; open, eight rows more.
    HWND drives = Control(kIdDrvDrives);
    const platform::TwipsRect& r = Core::kDrvDrives;
    SetWindowPos(drives, nullptr, Pixels(r.left, dpi), Pixels(r.top, dpi), Pixels(r.width, dpi),
                 Pixels(r.height, dpi) + 8 * row, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT closed;
    GetWindowRect(drives, &closed);
    const int field = static_cast<int>(SendMessageW(drives, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    const int wanted = field + Pixels(r.height, dpi) - (closed.bottom - closed.top);
    if (wanted > 0) SendMessageW(drives, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
    InvalidateRect(window_, nullptr, TRUE);
}

void frmPath::SizeLabel(int id, const platform::TwipsPoint& at) {
    HWND label = Control(id);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, font_);
    const std::wstring text = Wide(TextOf(label));
    RECT bounds = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, Pixels(at.left, dpi_), Pixels(at.top, dpi_), bounds.right, bounds.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmPath::FillDrives() {
    HWND drives = Control(kIdDrvDrives);
    SendMessageW(drives, WM_SETREDRAW, FALSE, 0);
    SendMessageW(drives, CB_RESETCONTENT, 0, 0);
    for (const auto& entry : core_.drvDrives().Entries())
        SendMessageW(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
    SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(core_.drvDrives().ListIndex()), 0);
    SendMessageW(drives, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(drives, nullptr, TRUE);
}

void frmPath::FillDirs() {
    HWND dirs = Control(kIdDirDirs);
    SendMessageW(dirs, WM_SETREDRAW, FALSE, 0);
    SendMessageW(dirs, LB_RESETCONTENT, 0, 0);
    // The names are the rows' texts, for whoever reads the list; the drawing
    // takes indentation and folders from the core's entries.
    for (const auto& entry : core_.dirDirs().Entries())
        SendMessageW(dirs, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry.name).c_str()));
    SendMessageW(dirs, LB_SETCURSEL, static_cast<WPARAM>(core_.dirDirs().ListIndex()), 0);
    SendMessageW(dirs, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(dirs, nullptr, TRUE);
}

void frmPath::DrawDirEntry(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& area = item.rcItem;
    const auto& entries = core_.dirDirs().Entries();
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID < entries.size()) {
        const dialogs::DirEntry& entry = entries[item.itemID];
        const int icon = IconSize(dpi_);
        const int indent = MulDiv(entry.level, icon * 3, 4);  // three quarters of a folder per level
        const int x = area.left + MulDiv(2, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI) + indent;
        DrawFolder(dc, x, area.top + (area.bottom - area.top - icon) / 2, icon, entry.open);
        RECT text = area;
        text.left = x + icon + MulDiv(4, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        HGDIOBJ old = SelectObject(dc, font_);
        const std::wstring name = Wide(entry.name);
        DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
    }
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &area);
}

void frmPath::ShowCaptions() {
    const dialogs::frmPathCaptions& captions = core_.Captions();
    SetWindowTextW(Control(kIdLblPath), Wide(captions.lblPath).c_str());
    SetWindowTextW(Control(kIdLblDirs), Wide(captions.lblDirs).c_str());
    SetWindowTextW(Control(kIdLblDrives), Wide(captions.lblDrives).c_str());
    SetWindowTextW(Control(IDOK), Wide(captions.cmdOK).c_str());
    SetWindowTextW(Control(IDCANCEL), Wide(captions.cmdCancel).c_str());
    SetWindowTextW(Control(kIdLblPrompt), Wide(captions.lblPrompt).c_str());
    SizeLabel(kIdLblPath, Core::kLblPath);
    SizeLabel(kIdLblDirs, Core::kLblDirs);
    SizeLabel(kIdLblDrives, Core::kLblDrives);
}

void frmPath::ShowTxtPath() {
    showingText_ = true;
    SetWindowTextW(Control(kIdTxtPath), Wide(core_.TxtPath()).c_str());
    showingText_ = false;
}

void frmPath::SelectAllTxtPath() {
    SendMessageW(Control(kIdTxtPath), EM_SETSEL, 0, -1);
}

void frmPath::Hide(bool) {
    EndModal();
}

void frmPath::EndModal() {
    modal_ = false;
    RememberFocus();
    // The owner takes input again before the dialog goes, so that it, and
    // not some other program, becomes the active window.
    if (owner_) EnableWindow(owner_, TRUE);
    ShowWindow(window_, SW_HIDE);
    if (owner_) SetActiveWindow(owner_);
}

bool frmPath::ShowModal(HWND owner) {
    core_.Carregar();
    owner_ = owner && IsWindow(owner) ? owner : nullptr;
    SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner_ ? owner_ : hiddenOwner_));
    platform::win32::CentreOnOwner(window_, owner_);
    if (owner_) EnableWindow(owner_, FALSE);
    modal_ = true;
    ShowWindow(window_, SW_SHOW);
    SetFocus(focus_);
    MSG message;
    while (modal_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: leave the dialog and let the caller's
            // loop see the WM_QUIT too.
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            EndModal();
            break;
        }
        if (IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    owner_ = nullptr;
    return core_.OK();
}

LRESULT frmPath::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDOK && code == BN_CLICKED) {
                core_.ClickOK();
            } else if (id == IDCANCEL && code == BN_CLICKED) {
                core_.ClickCancel();
            } else if (id == kIdTxtPath && code == EN_CHANGE && !showingText_) {
                core_.SetTxtPath(TextOf(Control(kIdTxtPath)));
            } else if (id == kIdDrvDrives && code == CBN_SELCHANGE) {
                const int picked = static_cast<int>(SendMessageW(Control(kIdDrvDrives), CB_GETCURSEL, 0, 0));
                if (picked != CB_ERR) core_.drvDrives().SetListIndex(picked);
            } else if (id == kIdDirDirs && code == LBN_DBLCLK) {
                // Opening rebuilds the rows: not while the list is still
                // delivering the double-click.
                const LRESULT row = SendMessageW(Control(kIdDirDirs), LB_GETCURSEL, 0, 0);
                if (row != LB_ERR) PostMessageW(window_, kOpenEntry, static_cast<WPARAM>(row), 0);
            } else {
                break;
            }
            return 0;
        }
        case kOpenEntry:
            core_.dirDirs().OpenEntry(static_cast<int>(wParam));
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID != kIdDirDirs) break;
            DrawDirEntry(*item);
            return TRUE;
        }
        case WM_SETCURSOR:
            if (toolkit_.OnSetCursor(lParam)) return TRUE;
            break;
        case WM_CLOSE:
            // Closed any other way than by its buttons, the dialog only hides:
            // no handler runs and OK keeps its value.
            EndModal();
            return 0;
    }
    return WindowBase::Handle(message, wParam, lParam);
}

}  // namespace win32

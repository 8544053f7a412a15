// The Win32 directory chooser: captions, the folder tree in the directory
// list, the drive list, and the buttons, Escape, the close control and a
// double-click reaching the shared core, all while the dialog runs modally.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "SmokeSupport.h"
#include "Twips.h"
#include "win32/frmPath.h"

namespace {

using win32::frmPath;

// Steps run one after another from a timer inside the dialog's modal loop; a
// step that shows a message box holds the next one back until it returns.
std::vector<std::function<void()>> gSteps;
std::size_t gNextStep = 0;
bool gInStep = false;

void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
    if (gInStep) return;
    if (gNextStep >= gSteps.size()) {
        KillTimer(nullptr, timer);
        return;
    }
    gInStep = true;
    const auto step = gSteps[gNextStep++];
    step();
    gInStep = false;
}

bool ShowWith(frmPath& dialog, HWND owner, std::vector<std::function<void()>> steps) {
    gSteps = std::move(steps);
    gNextStep = 0;
    SetTimer(nullptr, 0, 40, RunStep);
    return dialog.ShowModal(owner);
}

std::wstring Row(HWND list, int row) {
    const int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, row, 0));
    if (length < 0) return L"<none>";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

int RowOf(HWND list, const std::wstring& text) {
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
        if (Row(list, row) == text) return row;
    return -1;
}

std::wstring MakeFolders() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t full[MAX_PATH];
    GetLongPathNameW(temp, full, MAX_PATH);
    const std::wstring base = std::wstring(full) + L"Exames ção " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);
    for (const wchar_t* name : {L"Beta", L"alfa", L"oculto"})
        CreateDirectoryW((base + L"\\" + name).c_str(), nullptr);
    SetFileAttributesW((base + L"\\oculto").c_str(), FILE_ATTRIBUTE_HIDDEN);
    return base;
}

void RemoveFolders(const std::wstring& base) {
    SetFileAttributesW((base + L"\\oculto").c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const wchar_t* name : {L"Beta", L"alfa", L"oculto"}) RemoveDirectoryW((base + L"\\" + name).c_str());
    RemoveDirectoryW(base.c_str());
}

std::string Utf8(const std::wstring& text) {
    return smoke::Narrow(text);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    smoke::Start();
    const std::wstring base = MakeFolders();
    {
        frmPath dialog(instance);
        HWND window = dialog.Window();
        smoke::CheckText(smoke::TextOf(window), L"#", "title");
        smoke::CheckText(smoke::TextOf(dialog.Control(IDOK)), L"#", "captions wait for the load");

        dialog.core().SetPathInício(Utf8(base));
        smoke::CheckText(smoke::TextOf(dialog.Control(frmPath::kIdLblPath)), L"Diretório:", "lblPath");
        smoke::CheckText(smoke::TextOf(dialog.Control(frmPath::kIdLblDirs)), L"&Diretórios:", "lblDirs");
        smoke::CheckText(smoke::TextOf(dialog.Control(frmPath::kIdLblDrives)), L"Dri&ves:", "lblDrives");
        smoke::CheckText(smoke::TextOf(dialog.Control(IDOK)), L"OK", "cmdOK");
        smoke::CheckText(smoke::TextOf(dialog.Control(IDCANCEL)), L"Cancelar", "cmdCancel");
        smoke::CheckText(smoke::TextOf(dialog.Control(frmPath::kIdLblPrompt)), L"*", "lblPrompt");
        smoke::CheckText(smoke::TextOf(dialog.Control(frmPath::kIdTxtPath)), base,
                         "the path box holds the preset");

        HWND dirs = dialog.Control(frmPath::kIdDirDirs);
        const int count = static_cast<int>(SendMessageW(dirs, LB_GETCOUNT, 0, 0));
        const int current = static_cast<int>(SendMessageW(dirs, LB_GETCURSEL, 0, 0));
        smoke::Check(Row(dirs, 0) == L"C:\\" && current == count - 3 &&
                         Row(dirs, current) == base.substr(base.find_last_of(L'\\') + 1) &&
                         Row(dirs, count - 2) == L"alfa" && Row(dirs, count - 1) == L"Beta",
                     "directory list: the chain from C:\\ down to the preset (selected), then its visible "
                     "subdirectories sorted (" +
                         Utf8(Row(dirs, current)) + ", " + std::to_string(count) + " rows)");
        smoke::Check(GetWindowLongW(dirs, GWL_STYLE) & LBS_OWNERDRAWFIXED,
                     "the directory list draws its folders");

        // Moved to a monitor of 144 dpi: laid out again in twips there.
        RECT suggested = {0, 0, 0, 0};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
        RECT client, list;
        GetClientRect(window, &client);
        GetWindowRect(dirs, &list);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
        using platform::TwipsToPixels;
        smoke::Check(client.right == TwipsToPixels(5955, 144) && client.bottom == TwipsToPixels(4710, 144) &&
                         list.left == TwipsToPixels(204, 144) &&
                         list.bottom - list.top == TwipsToPixels(1605, 144),
                     "laid out again for a new dpi");
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));

        HWND drives = dialog.Control(frmPath::kIdDrvDrives);
        wchar_t roots[256] = {};
        const DWORD length = GetLogicalDriveStringsW(255, roots);
        int letters = 0;
        for (DWORD i = 0; i < length; i += 4) ++letters;
        const int selected = static_cast<int>(SendMessageW(drives, CB_GETCURSEL, 0, 0));
        wchar_t first[64] = {};
        SendMessageW(drives, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(first));
        smoke::Check(
            SendMessageW(drives, CB_GETCOUNT, 0, 0) == letters && first[0] == L'c' && first[1] == L':',
            "drive list: one entry per drive, drive C selected ('" + Utf8(first) + "')");

        // The owner takes no input while the dialog is up.
        HWND owner = CreateWindowExW(0, L"STATIC", L"dono", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                     100, nullptr, nullptr, instance, nullptr);
        HWND txtPath = dialog.Control(frmPath::kIdTxtPath);
        bool ownerDisabled = false;
        const std::wstring alfa = base + L"\\alfa";
        const std::wstring missing = L"C:\\não existe";
        const bool accepted = ShowWith(
            dialog, owner,
            {[&] {
                 ownerDisabled = !IsWindowEnabled(owner);
                 SendMessageW(dirs, LB_SETCURSEL, RowOf(dirs, L"alfa"), 0);
                 SendMessageW(window, WM_COMMAND, MAKEWPARAM(frmPath::kIdDirDirs, LBN_DBLCLK),
                              reinterpret_cast<LPARAM>(dirs));
             },
             [&] {
                 smoke::CheckText(smoke::TextOf(txtPath), alfa, "a double-click opens the directory");
                 smoke::Check(Row(dirs, static_cast<int>(SendMessageW(dirs, LB_GETCURSEL, 0, 0))) == L"alfa",
                              "the opened directory is the selected row");
                 const std::wstring typed = L"  " + missing + L"  ";
                 SendMessageW(txtPath, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
                 smoke::AnswerNextBox([](HWND box) { smoke::Click(box, IDOK); });
                 SendMessageW(dialog.Control(IDOK), BM_CLICK, 0, 0);
                 smoke::CheckText(smoke::LastBox().text, L"O caminho '" + missing + L"' não existe.",
                                  "OK on a missing path");
                 smoke::CheckText(smoke::LastBox().caption, L"Atenção!", "its title");
                 smoke::Check(IsWindowVisible(window) && !dialog.core().OK(), "the dialog stays open");
             },
             [&] {
                 const std::wstring typed = L" " + alfa + L" ";
                 SendMessageW(txtPath, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
                 smoke::PressKey(window, VK_RETURN);
             }});
        smoke::Check(ownerDisabled, "the owner takes no input while the dialog is up");
        smoke::Check(IsWindowEnabled(owner) != FALSE, "and takes it again afterwards");
        smoke::Check(accepted && !IsWindowVisible(window), "Enter presses OK: an existing path closes it");
        smoke::Check(dialog.core().TxtPath() == " " + Utf8(alfa) + " ",
                     "the chosen path is the box's, untrimmed");

        const bool afterEscape = ShowWith(dialog, owner, {[&] { smoke::PressKey(window, VK_ESCAPE); }});
        smoke::Check(!afterEscape && !IsWindowVisible(window), "Escape presses Cancelar");

        dialog.core().SetOK(true);
        const bool afterClose = ShowWith(dialog, owner, {[&] { smoke::CloseControl(window); }});
        smoke::Check(afterClose && !IsWindowVisible(window),
                     "the close control only hides: OK keeps its value");

        const int z = static_cast<int>(
            SendMessageW(drives, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"z:")));
        if (z >= 0) {
            ShowWith(dialog, owner,
                     {[&] {
                          SendMessageW(drives, CB_SETCURSEL, z, 0);
                          SendMessageW(window, WM_COMMAND, MAKEWPARAM(frmPath::kIdDrvDrives, CBN_SELCHANGE),
                                       reinterpret_cast<LPARAM>(drives));
                          smoke::Check(
                              smoke::TextOf(txtPath).rfind(L"Z:\\", 0) == 0 && Row(dirs, 0) == L"Z:\\",
                              "picking drive Z shows its current directory (" + Utf8(smoke::TextOf(txtPath)) +
                                  ")");
                      },
                      [&] { SendMessageW(dialog.Control(IDCANCEL), BM_CLICK, 0, 0); }});
        }
        DestroyWindow(owner);
    }
    RemoveFolders(base);
    return smoke::Result();
}

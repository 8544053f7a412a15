// The Windows program itself, started as the operator starts it: start-up
// that ends after its message with status 1, or after the run-time error
// report with status 2, and never shows the window; and
// a start-up that opens the database and shows the window (its controls,
// geometry in twips at its DPI, frame and focus), which then removes an
// examination. The configuration file is the real one, in the Windows
// directory, so this test runs alone.
#include <windows.h>

#include <string>

#include "ExamDatabase.h"
#include "SmokeSupport.h"
#include "Twips.h"
#include "ado/Connection.h"

namespace {

std::wstring gProgram;

struct Found {
    DWORD process;
    const wchar_t* className;  // nullptr: any
    bool visibleOnly;
    HWND window;
};

BOOL CALLBACK FindOfProcess(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process) return TRUE;
    if (found->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (found->className && smoke::ClassOf(window) != found->className) return TRUE;
    found->window = window;
    return FALSE;
}

// The first window of the process of that class, waiting up to 20 s for it.
HWND WaitForWindow(DWORD process, const wchar_t* className, bool visibleOnly = true) {
    for (int i = 0; i < 400; ++i) {
        Found found = {process, className, visibleOnly, nullptr};
        EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&found));
        if (found.window) return found.window;
        Sleep(50);
    }
    return nullptr;
}

bool MainWindowShown(DWORD process) {
    Found found = {process, L"RemoverExame.frmPrincipal", true, nullptr};
    EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&found));
    return found.window != nullptr;
}

PROCESS_INFORMATION Start() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + gProgram + L"\"";
    if (!CreateProcessW(gProgram.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        smoke::Check(false,
                     "start " + smoke::Narrow(gProgram) + " (error " + std::to_string(GetLastError()) + ")");
    return process;
}

int WaitForExit(PROCESS_INFORMATION& process) {
    DWORD status = 9999;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

// Reads the process's next message box and presses button on it.
// closeFirst: a window that gets a close request while the box is up, and
// has it in hand before the box is answered.
std::wstring AnswerBox(DWORD process, int button, HWND owner = nullptr, HWND closeFirst = nullptr) {
    HWND box = WaitForWindow(process, L"#32770");
    if (!box) return L"<no message box>";
    if (owner) smoke::Check(GetWindow(box, GW_OWNER) == owner, "the box is owned by the window");
    const std::wstring text = smoke::TextOf(GetDlgItem(box, 0xFFFF));
    if (closeFirst) {
        PostMessageW(closeFirst, WM_CLOSE, 0, 0);
        Sleep(300);
        smoke::Check(IsWindow(closeFirst) && IsWindow(box), "a close request during the removal waits for it");
    }
    PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
    // Gone before the next one is looked for.
    for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(25);
    return text;
}

std::wstring ConfigurationFile() {
    wchar_t directory[MAX_PATH];
    GetWindowsDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\Quelvomir.INI";
}

void WriteConfiguration(const std::string& connectionString) {
    const std::string text = "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n";
    HANDLE file = CreateFileW(ConfigurationFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool Near(long a, long b) {
    return a - b <= 1 && b - a <= 1;
}

// What the window shows before anything is typed.
void CheckWindow(HWND window, HWND button, HWND edit, DWORD thread) {
    smoke::CheckText(smoke::TextOf(window), L"Quelvomir 4.0 - Remover exame", "caption");
    smoke::CheckText(smoke::TextOf(button), L"Remover", "button");
    smoke::CheckText(smoke::TextOf(GetDlgItem(window, 101)), L"Número Exame:", "label");
    smoke::CheckText(smoke::TextOf(edit), L"", "number box starts empty");

    const int dpi = static_cast<int>(GetDpiForWindow(window));
    RECT client, place;
    GetClientRect(window, &client);
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    using platform::TwipsToPixels;
    smoke::Check(client.right == TwipsToPixels(4455, dpi) && client.bottom == TwipsToPixels(1950, dpi) &&
                     place.left == TwipsToPixels(1440, dpi) && place.top == TwipsToPixels(1110, dpi) &&
                     place.right - place.left == TwipsToPixels(1650, dpi),
                 "client area and button in twips at " + std::to_string(dpi) + " dpi");

    RECT frame;
    GetWindowRect(window, &frame);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    smoke::Check(Near(frame.left + frame.right, work.left + work.right) &&
                     Near(frame.top + frame.bottom, work.top + work.bottom),
                 "centred on the work area, frame and all");
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    smoke::Check(!(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) && (style & WS_SYSMENU),
                 "fixed frame with a close control only");
    smoke::Check(GetWindow(window, GW_OWNER) && !(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW),
                 "not in the task bar");
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(thread, &gui);
    smoke::Check(gui.hwndFocus == button, "Remover holds the focus");
    smoke::Check(!(GetWindowLongW(button, GWL_STYLE) & BS_DEFPUSHBUTTON),
                 "Remover is not the default button");
}

void StartupEndsAfterItsMessage() {
    DeleteFileW(ConfigurationFile().c_str());
    PROCESS_INFORMATION process = Start();
    const std::wstring text = AnswerBox(process.dwProcessId, IDOK);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    CharUpperW(windows);
    smoke::CheckText(text, L"Não foi encontrado o arquivo '" + std::wstring(windows) + L"\\QUELVOMIR.INI.'",
                     "no configuration file");
    smoke::Check(!MainWindowShown(process.dwProcessId), "the window is never shown");
    const int status = WaitForExit(process);
    smoke::Check(status == 1, "the program ends with status 1 (" + std::to_string(status) + ")");

    WriteConfiguration("Provider=SQLite;Data Source=C:\\não existe\\exames.db");
    process = Start();
    const std::wstring connection = AnswerBox(process.dwProcessId, IDOK);
    const std::wstring expected =
        L"Ao abrir a conexão com o banco de dados ocoreu o seguinte erro.\r\n\r\nErro nº ";
    smoke::Check(connection.rfind(expected, 0) == 0,
                 "a database that cannot be opened: '" + smoke::Narrow(connection) + "'");
    smoke::Check(!MainWindowShown(process.dwProcessId), "the window is never shown");
    smoke::Check(WaitForExit(process) == 1, "the program ends with status 1");

    // A configuration file that is there but cannot be read: the run-time
    // error report, then status 2.
    DeleteFileW(ConfigurationFile().c_str());
    CreateDirectoryW(ConfigurationFile().c_str(), nullptr);
    process = Start();
    const std::wstring report = AnswerBox(process.dwProcessId, IDOK);
    smoke::Check(!MainWindowShown(process.dwProcessId), "the window is never shown");
    const int reported = WaitForExit(process);
    smoke::Check(reported == 2, "an unreadable configuration file: the report ('" + smoke::Narrow(report) +
                                    "') and status 2 (" + std::to_string(reported) + ")");
    RemoveDirectoryW(ConfigurationFile().c_str());
}

void WindowRemovesAnExamination() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::string database =
        smoke::Narrow(std::wstring(temp) + L"exames " + std::to_wstring(GetCurrentProcessId()) + L".db");
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(database);
    std::string number;
    {
        ado::Connection connection(connectionString);
        connection.Open();
        number = testing_support::FindSeedNumbers(connection).both.at(0);
    }
    WriteConfiguration(connectionString);

    PROCESS_INFORMATION process = Start();
    HWND window = WaitForWindow(process.dwProcessId, L"RemoverExame.frmPrincipal");
    smoke::Check(window != nullptr, "start-up opens the database and shows the window");
    if (window) {
        HWND edit = GetDlgItem(window, 102);
        HWND button = GetDlgItem(window, 100);
        CheckWindow(window, button, edit, process.dwThreadId);

        // Enter in the number box does not press Remover: no box comes up.
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"não existe"));
        PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC0000000);
        Sleep(500);
        Found box = {process.dwProcessId, L"#32770", true, nullptr};
        EnumWindows(FindOfProcess, reinterpret_cast<LPARAM>(&box));
        smoke::Check(box.window == nullptr, "Enter in the number box does not press Remover");

        PostMessageW(button, BM_CLICK, 0, 0);
        smoke::CheckText(AnswerBox(process.dwProcessId, IDOK, window), L"Exame não localizado.",
                         "an unknown number");

        const std::wstring wide(number.begin(), number.end());
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        PostMessageW(button, BM_CLICK, 0, 0);
        smoke::CheckText(AnswerBox(process.dwProcessId, IDOK),
                         L"Tem certeza que deseja remover o exame '" + wide + L"'", "confirmation");
        // Closed during the removal: the window closes once it has ended.
        smoke::CheckText(AnswerBox(process.dwProcessId, IDOK, nullptr, window), L"Exame removido com sucesso.",
                         "removed");
    }
    const int status = WaitForExit(process);
    smoke::Check(status == 0, "a close request during the removal ends the program, status 0, once it has ended (" +
                                  std::to_string(status) + ")");

    ado::Connection connection(connectionString);
    connection.Open();
    const auto left = testing_support::RowsOfExamination(connection, number, "");
    const auto leftTwins = testing_support::RowsOfExamination(connection, number, "_BK");
    smoke::Check(testing_support::CountRows(left) + testing_support::CountRows(leftTwins) == 0,
                 "no row of the examination is left");
    connection.Close();
    DeleteFileW(ConfigurationFile().c_str());
    DeleteFileW(std::wstring(database.begin(), database.end()).c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) return 2;
    gProgram = smoke::ProgramPath(argv[1]);
    StartupEndsAfterItsMessage();
    WindowRemovesAnExamination();
    return smoke::Result();
}

// remover-exame on Windows: removes examinations from the host product's
// database. Without arguments it is the window; with arguments it runs
// without one (CommandLine.h), on the console of the program that started it
// or on the files and pipes its standard handles were redirected to.
//
// The same file, built with REMOVER_CONSOLE_TWIN, is remover-exame.com: a
// program of the console subsystem, which cmd finds before the .exe (PATHEXT
// lists .COM first) and waits for, so a prompt shows the command line's text
// before its next prompt and %ERRORLEVEL% holds its exit status. Without
// arguments it starts the window program beside it and returns.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ConsoleBuffer.h"
#include "Diagnostics.h"
#include "WideText.h"
#include "remover-exame-events.h"
#include "win32/Win32Toolkit.h"
#include "win32/frmPrincipal.h"

// The event IDs the program writes are those of its message table.
static_assert(REMOVER_EVENT_REMOVED == static_cast<DWORD>(platform::LogEvent::Removed));
static_assert(REMOVER_EVENT_NOT_FOUND == static_cast<DWORD>(platform::LogEvent::NotFound));
static_assert(REMOVER_EVENT_CANCELLED == static_cast<DWORD>(platform::LogEvent::Cancelled));
static_assert(REMOVER_EVENT_FAILED == static_cast<DWORD>(platform::LogEvent::Failed));
static_assert(REMOVER_EVENT_RESTORED == static_cast<DWORD>(platform::LogEvent::Restored));
static_assert(REMOVER_EVENT_COMMIT_BEFORE == static_cast<DWORD>(platform::LogEvent::CommitBefore));
static_assert(REMOVER_EVENT_COMMIT_AFTER == static_cast<DWORD>(platform::LogEvent::CommitAfter));

namespace {

bool isOpen(HANDLE handle) {
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The standard streams of the command line. A program of the window
// subsystem has no console of its own: it attaches to the console of the
// program that started it, if there is one, and opens it for the streams
// that were not redirected. Redirected streams (files, pipes) take the
// UTF-8 bytes unchanged, with the same line ends as on Linux; a console
// gets its text through the wide console calls (ConsoleBuffer.h). The
// console's code pages are UTF-8 meanwhile, for what else is written there,
// and its code pages and modes are given back at the end.
class CommandLineConsole {
public:
    CommandLineConsole() {
        constexpr DWORD kHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
        bool redirected[3];
        for (int i = 0; i < 3; ++i) redirected[i] = isOpen(GetStdHandle(kHandles[i]));
        // A program that already has a console (the parent's, handed down
        // with its handles) is refused with ERROR_ACCESS_DENIED: it keeps it.
        if (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED) {
            FILE* const streams[] = {stdin, stdout, stderr};
            const wchar_t* const devices[] = {L"CONIN$", L"CONOUT$", L"CONOUT$"};
            for (int i = 0; i < 3; ++i) {
                if (redirected[i]) continue;
                if (_wfreopen(devices[i], i == 0 ? L"r" : L"w", streams[i]))
                    SetStdHandle(kHandles[i], reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(streams[i]))));
            }
        }
        // Zero when there is no console.
        inputCodePage_ = GetConsoleCP();
        outputCodePage_ = GetConsoleOutputCP();
        if (inputCodePage_) SetConsoleCP(CP_UTF8);
        if (outputCodePage_) SetConsoleOutputCP(CP_UTF8);
        for (FILE* stream : {stdin, stdout, stderr})
            if (_fileno(stream) >= 0) _setmode(_fileno(stream), _O_BINARY);

        DWORD mode = 0;
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE), output = GetStdHandle(STD_OUTPUT_HANDLE);
        if (isOpen(input) && GetConsoleMode(input, &mode)) {
            inBuffer_ = std::make_unique<win32::ConsoleInputBuffer>(input);
            in_.rdbuf(inBuffer_.get());
        }
        if (isOpen(output) && GetConsoleMode(output, &mode)) {
            outBuffer_ = std::make_unique<win32::ConsoleOutputBuffer>(output);
            out_.rdbuf(outBuffer_.get());
            out_.setf(std::ios::unitbuf);
        }
        // The progress bar moves the cursor with escape sequences: drawn
        // only on a console that takes them.
        error_ = GetStdHandle(STD_ERROR_HANDLE);
        if (isOpen(error_) && GetConsoleMode(error_, &errorMode_)) {
            errBuffer_ = std::make_unique<win32::ConsoleOutputBuffer>(error_);
            err_.rdbuf(errBuffer_.get());
            errorIsTerminal_ = SetConsoleMode(error_, errorMode_ | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
        }
        err_.setf(std::ios::unitbuf);
    }

    ~CommandLineConsole() {
        out_.flush();
        err_.flush();
        std::fflush(stdout);
        std::fflush(stderr);
        if (errorIsTerminal_) SetConsoleMode(error_, errorMode_);
        if (inputCodePage_) SetConsoleCP(inputCodePage_);
        if (outputCodePage_) SetConsoleOutputCP(outputCodePage_);
    }

    CommandLineConsole(const CommandLineConsole&) = delete;
    CommandLineConsole& operator=(const CommandLineConsole&) = delete;

    app::Console Streams() { return {in_, out_, err_, errorIsTerminal_}; }

private:
    UINT inputCodePage_ = 0, outputCodePage_ = 0;
    HANDLE error_ = nullptr;
    DWORD errorMode_ = 0;
    bool errorIsTerminal_ = false;
    std::unique_ptr<win32::ConsoleInputBuffer> inBuffer_;
    std::unique_ptr<win32::ConsoleOutputBuffer> outBuffer_, errBuffer_;
    std::istream in_{std::cin.rdbuf()};
    std::ostream out_{std::cout.rdbuf()}, err_{std::cerr.rdbuf()};
};

// The program's arguments as UTF-8 text, the program's name first.
std::vector<std::string> arguments() {
    std::vector<std::string> result;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return result;
    for (int i = 0; i < count; ++i) result.push_back(platform::Utf8FromWide(wide[i]));
    LocalFree(wide);
    return result;
}

#ifdef REMOVER_CONSOLE_TWIN
// Starts remover-exame.exe from this program's own folder, with no
// arguments, none of this program's standard handles and no part in its
// console (a pipe the caller reads would stay open as long as the window),
// and does not wait for it.
int StartWindowProgram() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return 1;
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && path.find_first_of(L"\\/", dot) == std::wstring::npos) path.resize(dot);
    path += L".exe";
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        platform::Diagnose("remover-exame", platform::Utf8FromWide(path) + ": erro " + std::to_string(error));
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::vector<std::string> args = arguments();
    if (args.size() > 1) {
        CommandLineConsole console;
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        return app::RunCommandLine(static_cast<int>(argv.size()), argv.data(), console.Streams());
    }
#ifdef REMOVER_CONSOLE_TWIN
    (void)instance;
    return StartWindowProgram();
#else

    // The common controls of the manifest's version 6: the system's own look.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    platform::Win32Toolkit toolkit;
    win32::frmPrincipal w(instance, toolkit);
    // Start-up runs before the window is ever shown; a failure has already
    // told the operator and ended the program.
    if (!w.Load()) return toolkit.ExitCode();

    w.Show();
    return w.Run();
#endif
}

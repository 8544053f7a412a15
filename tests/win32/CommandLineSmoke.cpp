// The Windows program run with arguments, as a script runs it: standard
// output to a pipe, standard error to a file, standard input from a file.
// Each case (the argument after the program) seeds its own SQLite database
// and configuration file in a folder whose name has accents, and checks the
// exit status, the text of the output (UTF-8, with the same line ends as on
// Linux) and what is left in the database:
//   simular    the dry run of a list file: the rows per table and set, and
//              nothing removed;
//   confirmar  the removal of a number read from standard input ("--lista -");
//   recusa     a command line that is refused ("/simular" is no option);
//   console    the same refusal, started from a console with no redirection;
//   com        remover-exame.com typed as "remover-exame" at cmd /c, output
//              redirected: cmd waits for it and %ERRORLEVEL% is its status;
//   com_console the same on a console of code page 850, nothing redirected;
//   devices    device and pipe names (and a pipe of the test's own whose
//              server never answers) as the configuration file, the list and
//              the database: each refused at once, with status 2;
//   com_window "remover-exame" with no arguments at cmd /c: the .com starts
//              the .exe beside it and returns.
#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "ExamDatabase.h"
#include "SmokeSupport.h"
#include "ado/Connection.h"

namespace {

using namespace testing_support;

std::wstring gProgram;
std::wstring gFolder;  // ends with a backslash

struct Outcome {
    int status = -1;
    std::string out, err;
    DWORD process = 0;
};

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadAll(HANDLE handle) {
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

Outcome RunCommand(const std::wstring& application, std::wstring commandLine, const std::string& input,
                   const wchar_t* directory = nullptr);

// Runs the program with args (each quoted), input as its standard input.
Outcome Run(const std::vector<std::wstring>& args, const std::string& input = "") {
    std::wstring commandLine = L"\"" + gProgram + L"\"";
    for (const std::wstring& arg : args) commandLine += L" \"" + arg + L"\"";
    return RunCommand(gProgram, commandLine, input);
}

std::wstring ProgramFolder() { return gProgram.substr(0, gProgram.find_last_of(L'\\')); }

std::wstring Cmd() {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\cmd.exe";
}

// cmd /s /c "line", started in the program's folder, as an operator types it.
std::wstring CmdLine(const std::wstring& line) { return L"cmd.exe /s /c \"" + line + L"\""; }

Outcome RunCommand(const std::wstring& application, std::wstring commandLine, const std::string& input,
                   const wchar_t* directory) {
    const std::wstring inPath = gFolder + L"entrada.txt", errPath = gFolder + L"erros.txt";
    WriteBytes(inPath, input);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in =
        CreateFileW(inPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    // Kept open here and read back through this handle once the program has
    // ended: a name opened anew may still meet the child's share mode.
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE outRead = nullptr, outWrite = nullptr;
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = outWrite;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    const bool started = CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, directory, &startup, &process);
    CloseHandle(in);
    CloseHandle(outWrite);
    Outcome outcome;
    if (!started) {
        smoke::Check(false, "start the program (error " + std::to_string(GetLastError()) + ")");
        CloseHandle(outRead);
        CloseHandle(err);
        return outcome;
    }
    outcome.process = process.dwProcessId;
    outcome.out = ReadAll(outRead);
    CloseHandle(outRead);
    DWORD status = 9999;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    outcome.status = static_cast<int>(status);

    SetFilePointer(err, 0, nullptr, FILE_BEGIN);
    outcome.err = ReadAll(err);
    CloseHandle(err);
    return outcome;
}

bool Holds(const std::string& text, const std::string& part, const std::string& what) {
    const bool found = text.find(part) != std::string::npos;
    smoke::Check(found, what + (found ? "" : ": '" + part + "' not in '" + text + "'"));
    return found;
}

// text padded to width characters (UTF-8), as the program's table lays it out.
std::string Pad(const std::string& text, std::size_t width, bool right) {
    std::size_t characters = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    const std::string fill(characters < width ? width - characters : 0, ' ');
    return right ? fill + text : text + fill;
}

void CheckSimular(const std::wstring& ini, ado::Connection& connection, const std::string& number) {
    const Snapshot before = TakeSnapshot(connection);
    const Snapshot live = RowsOfExamination(connection, number, ""),
                   twins = RowsOfExamination(connection, number, "_BK");
    const std::wstring list = gFolder + L"lista de exames ção.txt";
    WriteBytes(list, "# exames de teste\r\n" + number + "\r\n\r\n");

    const Outcome run = Run({L"--simular", L"--ini", ini, L"--lista", list});
    smoke::Check(run.status == 0, "status 0 (" + std::to_string(run.status) + "); errors: '" + run.err + "'");
    for (const auto& [table, rows] : live) {
        const auto twin = twins.find(table + "_BK");
        const std::size_t twinRows = twin == twins.end() ? 0 : twin->second.size();
        Holds(run.out,
              "\n  " + Pad(table, 33, false) + Pad(std::to_string(rows.size()), 9, true) +
                  Pad(std::to_string(twinRows), 9, true) + "\n",
              "the rows of " + table);
    }
    const std::size_t total = CountRows(live) + CountRows(twins);
    Holds(
        run.out,
        "Resumo (simulação, nada foi removido): 1 exame; 1 seria removido, 0 não localizados, 0 com falha; " +
            std::to_string(total) + " linhas seriam removidas.\n",
        "the summary, in UTF-8");
    smoke::Check(run.out.find('\r') == std::string::npos, "no carriage return in the output");
    smoke::Check(TakeSnapshot(connection) == before, "nothing removed");
}

void CheckConfirmar(const std::wstring& ini, ado::Connection& connection, const std::string& number) {
    const Snapshot before = TakeSnapshot(connection);
    Snapshot removed = RowsOfExamination(connection, number, "");
    removed.merge(RowsOfExamination(connection, number, "_BK"));
    const std::size_t total = CountRows(removed);

    const Outcome run = Run({L"--confirmar", L"--ini", ini, L"--lista", L"-"}, number + "\r\n");
    smoke::Check(run.status == 0, "status 0 (" + std::to_string(run.status) + "); errors: '" + run.err + "'");
    Holds(run.out,
          "Resumo: 1 exame; 1 removido, 0 não localizados, 0 com falha; " + std::to_string(total) +
              " linhas removidas.\n",
          "the summary, in UTF-8");
    const std::size_t left = CountRows(RowsOfExamination(connection, number, "")) +
                             CountRows(RowsOfExamination(connection, number, "_BK"));
    smoke::Check(total > 0 && left == 0,
                 "the examination's rows are gone (" + std::to_string(left) + " left)");
    smoke::Check(TakeSnapshot(connection) == Without(before, removed), "no other row went");
}

void CheckRecusa(const std::wstring& ini, ado::Connection& connection, const std::string& number) {
    const Snapshot before = TakeSnapshot(connection);
    const Outcome run = Run({L"--ini", ini, L"--exame", Wide(number), L"/simular"});
    smoke::Check(run.status == 2, "status 2 (" + std::to_string(run.status) + ")");
    Holds(run.err, "remover-exame: argumento não reconhecido: /simular\n", "the refusal, in UTF-8");
    smoke::Check(run.out.empty(), "nothing on the output");
    smoke::Check(TakeSnapshot(connection) == before, "nothing removed");
}

// Started from a console with nothing redirected: the program writes on that
// console, in UTF-8 while it runs, and gives the console its code page back.
void CheckConsole(const std::wstring& ini) {
    AllocConsole();
    SetConsoleOutputCP(850);
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + gProgram + L"\" --ini \"" + ini + L"\" --exame 1 /simular";
    PROCESS_INFORMATION process = {};
    DWORD status = 9999;
    if (CreateProcessW(gProgram.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    smoke::Check(status == 2, "status 2 (" + std::to_string(status) + ")");

    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen, &info);
    std::wstring text(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), {0, 0}, &read);
    const std::wstring expected = L"remover-exame: argumento não reconhecido: /simular";
    smoke::Check(text.find(expected) != std::wstring::npos,
                 "the refusal on the console: '" + smoke::Narrow(text.substr(0, read)) + "'");
    smoke::Check(GetConsoleOutputCP() == 850, "the console's code page given back");
    CloseHandle(screen);
    FreeConsole();
}

// Names of devices and pipes, wherever the program reads a file: refused
// before anything waits.
void CheckDevices(const std::wstring& ini, const std::string& number) {
    const std::wstring pipe = L"\\\\.\\pipe\\remover-exame-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 4,
                                     4096, 4096, 0, nullptr);
    smoke::Check(server != INVALID_HANDLE_VALUE, "a pipe server of the test's own");
    const std::wstring sourceIni = gFolder + L"dispositivo.INI";
    for (const std::wstring name : {L"COM1", L"NUL", L"nul.db", L"C:\\NUL", L"\\\\.\\NUL",
                                    L"\\\\?\\GLOBALROOT\\Device\\Null", L"\\\\.\\PhysicalDrive0", pipe.c_str()}) {
        const std::string what = smoke::Narrow(name);
        const DWORD start = GetTickCount();
        Outcome run = Run({L"--simular", L"--ini", name, L"--exame", Wide(number)});
        smoke::Check(run.status == 2, "--ini " + what + ": status 2 (" + std::to_string(run.status) + ")");
        // The device namespace has no entry that the search for the file finds.
        Holds(run.err,
              what.starts_with("\\\\") ? "configuration file not found: " + what
                                       : "LerConfiguração: '" + what + "' não é um arquivo comum",
              "--ini " + what + " refused");

        run = Run({L"--simular", L"--ini", ini, L"--lista", name});
        smoke::Check(run.status == 2, "--lista " + what + ": status 2 (" + std::to_string(run.status) + ")");
        Holds(run.err, "remover-exame: a lista '" + what + "' não é um arquivo comum", "--lista " + what + " refused");

        WriteBytes(sourceIni, "[Quelvomir]\r\nCONN_SERVER=Provider=SQLite;Data Source=" + what + "\r\n");
        run = Run({L"--simular", L"--ini", sourceIni, L"--exame", Wide(number)});
        smoke::Check(run.status == 2, "Data Source=" + what + ": status 2 (" + std::to_string(run.status) + ")");
        Holds(run.err, "\"" + what + "\": not a regular file", "Data Source=" + what + " refused");
        smoke::Check(GetTickCount() - start < 20000, what + ": no wait");
    }
    DeleteFileW(sourceIni.c_str());
    CloseHandle(server);
}

// Typed at cmd with the output redirected: cmd runs remover-exame.com, waits
// for it (its text comes before what cmd echoes next) and takes its status.
void CheckCom(const std::wstring& ini, const std::string& number) {
    const std::wstring list = gFolder + L"lista de exames ção.txt";
    WriteBytes(list, number + "\r\n");
    const std::wstring folder = ProgramFolder();
    Outcome run = RunCommand(Cmd(),
                             CmdLine(L"remover-exame --simular --ini \"" + ini + L"\" --lista \"" + list +
                                     L"\" & if not errorlevel 1 echo ERRORLEVEL 0"),
                             "", folder.c_str());
    const std::size_t summary = run.out.find("Resumo (simulação, nada foi removido): 1 exame;");
    const std::size_t level = run.out.find("ERRORLEVEL 0");
    smoke::Check(summary != std::string::npos && level != std::string::npos && summary < level,
                 "the dry run's summary, then %ERRORLEVEL% 0: '" + run.out + "' errors: '" + run.err + "'");

    run = RunCommand(Cmd(),
                     CmdLine(L"remover-exame --ini \"" + ini + L"\" --exame 1 /simular & if errorlevel 2 echo ERRORLEVEL 2"),
                     "", folder.c_str());
    Holds(run.err, "remover-exame: argumento não reconhecido: /simular\n", "the refusal, in UTF-8");
    Holds(run.out, "ERRORLEVEL 2", "%ERRORLEVEL% 2 after the refusal");
}

// Typed at cmd on a console of code page 850, nothing redirected.
void CheckComConsole(const std::wstring& ini) {
    AllocConsole();
    SetConsoleOutputCP(850);
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring commandLine =
        CmdLine(L"remover-exame --ini \"" + ini + L"\" --exame 1 /simular & if errorlevel 2 echo ERRORLEVEL 2");
    const std::wstring folder = ProgramFolder();
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(Cmd().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen, &info);
    std::wstring text(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), {0, 0}, &read);
    const std::size_t refusal = text.find(L"remover-exame: argumento não reconhecido: /simular");
    const std::size_t level = text.find(L"ERRORLEVEL 2");
    smoke::Check(refusal != std::wstring::npos && level != std::wstring::npos && refusal < level,
                 "the refusal, then %ERRORLEVEL% 2, on the console: '" + smoke::Narrow(text.substr(0, read)) + "'");
    smoke::Check(GetConsoleOutputCP() == 850, "the console's code page given back");
    CloseHandle(screen);
    FreeConsole();
}

// Typed with no arguments, remover-exame.com starts remover-exame.exe and
// returns; had cmd found the .exe, it would be cmd's own child, still
// running. Run alone, so every other remover-exame.exe is none of this test's.
void CheckComWindow() {
    const std::wstring folder = ProgramFolder();
    const Outcome run = RunCommand(Cmd(), CmdLine(L"remover-exame"), "", folder.c_str());
    smoke::Check(run.status == 0, "status 0 (" + std::to_string(run.status) + "); errors: '" + run.err + "'");
    bool found = false;
    for (int i = 0; i < 100 && !found; ++i) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (_wcsicmp(entry.szExeFile, L"remover-exame.exe") != 0) continue;
            found = found || entry.th32ParentProcessID != run.process;
            if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(child, 0);
                CloseHandle(child);
            }
        }
        CloseHandle(snapshot);
        if (!found) Sleep(100);
    }
    smoke::Check(found, "remover-exame.exe started by remover-exame.com");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) return 2;
    gProgram = smoke::ProgramPath(argv[1]);
    const std::wstring which = argv[2];

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gFolder = std::wstring(temp) + L"linha de comando ção " + which + L" " +
              std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(gFolder.c_str(), nullptr);
    const std::string connectionString = CreateSqliteExamDatabase(smoke::Narrow(gFolder + L"exames.db"));
    const std::wstring ini = gFolder + L"Configuração.INI";
    WriteBytes(ini, "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n");
    {
        ado::Connection connection(connectionString);
        connection.Open();
        const std::string number = FindSeedNumbers(connection).both.at(0);
        if (which == L"simular")
            CheckSimular(ini, connection, number);
        else if (which == L"confirmar")
            CheckConfirmar(ini, connection, number);
        else if (which == L"recusa")
            CheckRecusa(ini, connection, number);
        else if (which == L"console")
            CheckConsole(ini);
        else if (which == L"com")
            CheckCom(ini, number);
        else if (which == L"com_console")
            CheckComConsole(ini);
        else if (which == L"devices")
            CheckDevices(ini, number);
        else if (which == L"com_window")
            CheckComWindow();
        else
            smoke::Check(false, "known case " + smoke::Narrow(which));
        connection.Close();
    }
    for (const wchar_t* file :
         {L"exames.db", L"Configuração.INI", L"lista de exames ção.txt", L"entrada.txt", L"erros.txt"})
        DeleteFileW((gFolder + file).c_str());
    RemoveDirectoryW(gFolder.c_str());
    return smoke::Result();
}

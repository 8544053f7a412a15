// Start-up of the Windows program against a minimal Win32 window with the
// same three controls, taking turns in one run: the time from CreateProcess
// to the first visible top-level window of the process, and the process's
// working set then. The program opens a SQLite database of the tests' seed
// data through Quelvomir.INI in the Windows directory (written here and
// removed afterwards, so nothing else may run meanwhile).
//   remover-startup-bench PROGRAM MINIMAL [ROUNDS]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ExamDatabase.h"

namespace {

struct Found {
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process || !IsWindowVisible(window)) return TRUE;
    found->window = window;
    return FALSE;
}

struct Sample {
    double ms = -1;
    double workingSetMiB = 0;
};

std::wstring WindowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path = L"Z:" + path;
    }
    return path;
}

Sample StartOnce(const std::wstring& program) {
    Sample sample;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + program + L"\"";
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return sample;
    Found found = {process.dwProcessId, nullptr};
    for (int i = 0; i < 200000 && !found.window; ++i) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&found));
        if (!found.window) {
            if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
        }
    }
    QueryPerformanceCounter(&now);
    if (found.window) {
        sample.ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters))
            sample.workingSetMiB = static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
        PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: remover-startup-bench PROGRAM MINIMAL [ROUNDS]\n");
        return 2;
    }
    const std::wstring program = WindowsPath(argv[1]), minimal = WindowsPath(argv[2]);
    const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 10;

    wchar_t temp[MAX_PATH], windows[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring database = std::wstring(temp) + L"startup-bench.db";
    const std::wstring ini = std::wstring(windows) + L"\\Quelvomir.INI";
    char narrow[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, database.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    const std::string connection = testing_support::CreateSqliteExamDatabase(narrow);
    const std::string text = "[Quelvomir]\r\nCONN_SERVER=" + connection + "\r\n";
    HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);

    // One start of each first, not counted: the loader's and Wine's caches.
    StartOnce(program);
    StartOnce(minimal);
    std::vector<double> times[2], sets[2];
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int which : {round % 2, 1 - round % 2}) {
            const Sample sample = StartOnce(which == 0 ? program : minimal);
            if (sample.ms < 0) {
                ++failures;
                continue;
            }
            times[which].push_back(sample.ms);
            sets[which].push_back(sample.workingSetMiB);
        }
    }
    DeleteFileW(ini.c_str());
    DeleteFileW(database.c_str());

    const double programMs = Median(times[0]), minimalMs = Median(times[1]);
    std::printf("rounds: %d, taking turns (medians)\n", rounds);
    std::printf("remover-exame:  %8.1f ms to a visible window, working set %6.1f MiB\n", programMs,
                Median(sets[0]));
    std::printf("minimal window: %8.1f ms to a visible window, working set %6.1f MiB\n", minimalMs,
                Median(sets[1]));
    std::printf("ratio: %.2fx (goal: at most 1.2x)\n", minimalMs > 0 ? programMs / minimalMs : 0.0);
    if (failures) std::printf("%d starts showed no window\n", failures);
    return failures ? 1 : 0;
}

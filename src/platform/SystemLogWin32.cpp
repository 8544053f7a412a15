#include <windows.h>

#include <cstdio>
#include <cstring>

#include "SystemLog.h"
#include "Utf16.h"

namespace platform {

namespace {

// The Application event log, under the program's own source name.
class EventLog : public SystemLog {
public:
    EventLog() : source_(RegisterEventSourceW(nullptr, L"Remover exame")) {}
    ~EventLog() override {
        if (source_) DeregisterEventSource(source_);
    }
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    bool Write(LogSeverity severity, LogEvent event, std::string_view message) noexcept override {
        try {
            if (!source_) return false;
            const std::u16string text = Utf8ToUtf16(message);
            const std::wstring wide(text.begin(), text.end());
            LPCWSTR strings[] = {wide.c_str()};
            const WORD type =
                severity == LogSeverity::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
            if (ReportEventW(source_, type, 0, static_cast<DWORD>(event), nullptr, 1, 0, strings, nullptr)) return true;
            if (!failureNoted_) {
                failureNoted_ = true;
                std::fprintf(stderr, "%s: cannot write to the event log: error %lu\n", kLogIdent,
                             static_cast<unsigned long>(GetLastError()));
            }
            return false;
        } catch (...) {
            return false;
        }
    }

private:
    HANDLE source_;
    bool failureNoted_ = false;
};

std::string fromWide(const wchar_t* text) {
    return Utf16ToUtf8(std::u16string(text, text + wcslen(text)));
}

}  // namespace

std::unique_ptr<SystemLog> OpenSystemLog() {
    return std::make_unique<EventLog>();
}

std::string OperatingSystemUser() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size) || !*name) return "?";
    return fromWide(name);
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size) || !*name) return "?";
    return fromWide(name);
}

std::string SudoUser() {
    return "";
}

}  // namespace platform

// The system's log, where the program leaves an account of what it did, and
// who and where it runs.
//
// Writing to the log never hangs and never throws: a log daemon that is
// missing, stopped or stuck costs the record, never the work it describes (a
// daemon that is merely behind is given a fraction of a second to catch up).
// The first failure of a log is noted once on standard error for IT.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

enum class LogSeverity { Info, Notice, Error };

// The kind of a record. The Windows event log shows it as the record's event
// ID, whose text in the program's message table (remover-exame-events.mc) is
// the record itself; the syslog daemon is not told.
enum class LogEvent : unsigned short {
    Removed = 1,       // a removal that removed the examination
    NotFound = 2,      // a removal whose examination was not found
    Cancelled = 3,     // a removal the operator cancelled
    Failed = 4,        // a removal that failed
    Restored = 5,      // a restore of kept rows, whatever its outcome
    CommitBefore = 6,  // a set's commit about to be asked for
    CommitAfter = 7,   // a set's commit answered
};

class SystemLog {
public:
    virtual ~SystemLog() = default;
    // Writes one record; false when it could not be written.
    virtual bool Write(LogSeverity severity, LogEvent event, std::string_view message) noexcept = 0;
};

// The name under which the program writes to the log.
inline constexpr const char* kLogIdent = "remover-exame";

#ifndef _WIN32
// The local syslog daemon, reached the way syslog(3) reaches it: one datagram
// per record on the socket at socketPath, in the daemon's traditional format
// ("<PRI>Mmm dd hh:mm:ss ident[pid]: message"). Unlike syslog(3) it never
// waits long for a daemon whose queue is full, and the socket can be one of
// a test's own.
class LocalSyslog : public SystemLog {
public:
    static constexpr int kFacilityUser = 1 << 3;       // LOG_USER
    static constexpr int kFacilityAuthPriv = 10 << 3;  // LOG_AUTHPRIV

    explicit LocalSyslog(std::string socketPath = "/dev/log", std::string ident = kLogIdent,
                         int facility = kFacilityAuthPriv);
    ~LocalSyslog() override;
    LocalSyslog(const LocalSyslog&) = delete;
    LocalSyslog& operator=(const LocalSyslog&) = delete;

    bool Write(LogSeverity severity, LogEvent event, std::string_view message) noexcept override;

private:
    bool connect() noexcept;
    bool send(const std::string& datagram) noexcept;
    void disconnect() noexcept;
    void noteFailure(int error) noexcept;

    std::string socketPath_;
    std::string ident_;
    int facility_;
    int fd_ = -1;
    bool stream_ = false;  // the daemon listens on a stream socket
    bool failureNoted_ = false;
    bool congested_ = false;  // the last record found the daemon's queue full
    static constexpr int kCatchUpMs = 250;
};
#endif

// The platform's log: the local syslog daemon (authpriv facility), or on
// Windows the Application event log under the source "Remover exame".
std::unique_ptr<SystemLog> OpenSystemLog();

// The operating-system user the program runs as (its name, or its number
// when it has none), and the machine's host name; never empty.
std::string OperatingSystemUser();
std::string HostName();
// The user who ran sudo to start the program, or empty when it does not run
// as root through sudo (SudoUserOf).
std::string SudoUser();

#ifndef _WIN32
// The rule behind SudoUser, on the facts it reads: the process's real and
// effective user ids, SUDO_USER and SUDO_UID (null when unset), and the name
// the user database gives to a user id (empty when it has none).
std::string SudoUserOf(unsigned realUid, unsigned effectiveUid, const char* sudoUserVariable,
                       const char* sudoUidVariable, std::string (*nameOfUid)(unsigned));
#endif

}  // namespace platform

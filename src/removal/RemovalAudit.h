// The account of every removal attempt, written to the system's log so that a
// clinic can answer later who removed which examination, when, from which
// database and what went with it.
//
// One record per attempt that reached the database (not found, cancelled,
// removed, failed), written when the attempt ends, as one line of key=value
// pairs that log shippers split without help:
//
//   evento=remocao_exame inicio=2026-12-07T09:31:02.345Z duracao_ms=12.345
//   origem=janela usuario="ana" host="laudos-01" provedor="SQLite"
//   arquivo="/srv/exames.db" exame="1001" resultado=removido
//   vivo=confirmado vivo_linhas=Aplique:1,...,Exame:1 bk=confirmado bk_linhas=...
//   tentativa=5c0d9e2a41f7b386
//
// A program that dies after a commit never writes that record, so each set's
// commit is recorded as it happens as well: one record just before it is
// asked for (which set, the rows each statement removed, and who and where,
// as above) and one once it has answered:
//
//   evento=remocao_exame_conjunto tentativa=5c0d9e2a41f7b386 fase=antes conjunto=vivo
//   inicio=... origem=janela usuario="ana" ... exame="1001" linhas=Aplique:1,...,Exame:1
//   evento=remocao_exame_conjunto tentativa=5c0d9e2a41f7b386 fase=depois conjunto=vivo
//   exame="1001" estado=confirmado
//
// tentativa joins the records of one attempt. Text that comes from outside
// (names, paths, the number as typed, error texts) is always in double
// quotes, escaped so that it can neither end its value nor forge a line; the
// program's own tokens never are. Writing the records never changes the
// removal and never shows anything, unless the audit is strict: then a
// commit whose record could not be written is withheld (the set rolled back,
// the operator told why), and so is every later one of the attempt.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "RemoveExamCommand.h"
#include "SystemLog.h"
#include "Toolkit.h"
#include "ado/Connection.h"

namespace removal {

// Where a connection string's data lives, from the keys that say so only:
// never a password, never the whole string. Empty fields were not given.
struct DatabaseName {
    std::string provider;
    std::string server;    // server name or address, with its port when given apart
    std::string database;  // database (catalog) on that server
    std::string dsn;       // ODBC data source name
    std::string file;      // database file
};
DatabaseName DescribeDatabase(std::string_view connectionString);

// text as a log value: in double quotes, with backslash, double quote,
// control characters, bytes that are not UTF-8 and the invisible characters
// that could disguise a line written as \xHH (or \\, \"). At most limit bytes
// of text are kept.
std::string LogQuoted(std::string_view text, std::size_t limit = 512);

// The words of the record for an outcome and for the end of a cascade.
std::string_view OutcomeToken(RemovalReport::Outcome outcome);
std::string_view SetEndToken(CascadeReport::End end);

// Everything the record says besides the command's own report.
struct AuditAttempt {
    std::string id;  // tentativa: the same in every record of the attempt
    std::chrono::system_clock::time_point start;
    std::chrono::nanoseconds duration{};
    std::string_view origin;  // "janela" or "linha_de_comando"
    std::string user;
    std::string sudoUser;  // empty when not started through sudo
    std::string host;
    std::string connectionString;
    std::string numeroExame;      // as typed
    std::string unexpectedError;  // what ended the command when nothing caught it
};

// The examination number keeps at most this many bytes in the record; a
// longer one is cut, and exame_bytes gives its whole length.
inline constexpr std::size_t kLoggedNumberLimit = 256;

std::string AuditLine(const AuditAttempt& attempt, const RemovalReport& report);
platform::LogSeverity AuditSeverity(const RemovalReport& report);
// The kind of the record of an attempt, by its result.
platform::LogEvent AuditEvent(const RemovalReport& report);

// The record of one set's commit: phase "antes" (with the rows removed) or
// "depois" (with how the commit ended). set is "vivo" or "bk".
std::string CommitLine(const AuditAttempt& attempt, std::string_view set, std::string_view phase,
                       const CascadeReport& report);

// The operator's message when strict audit withholds the commit of the set
// whose root table is root; liveCommitted says that an earlier set of the
// attempt was committed.
std::string StrictAuditMessage(std::string_view root, bool liveCommitted);

// Runs the remove command and writes the record of the attempt to the log.
// The operating-system user and the host are read once, when it is made.
// A set is also stopped, and rolled back, before its next statement once the
// program has been asked to stop (platform::StopRequested).
class RemovalAudit {
public:
    RemovalAudit(platform::SystemLog& log, std::string_view origin);

    // Strict audit: nothing is committed without its record.
    void SetStrict(bool strict) { strict_ = strict; }

    // cmdAtualizar_Click with its records. Something the command does not
    // catch is recorded as a failure and goes on up. copyFolder, when not
    // empty, keeps copies of the removed rows there (the record names the file).
    RemovalReport Remove(const std::string& numeroExame, ado::Connection& connection, platform::Toolkit& ui,
                         const std::string& copyFolder = {});

    // RemoveGroup with the records of each examination tried, as Remove
    // writes them for one: each is its own attempt, and its commit records
    // are written as its group commits.
    void RemoveGroup(std::vector<GroupMember>& members, ado::Connection& connection,
                     ado::SavepointSyntax syntax, platform::Toolkit& ui,
                     const std::function<void(std::size_t)>& focus, const std::string& copyFolder = {});

private:
    class Commits;
    void write(const AuditAttempt& attempt, const RemovalReport& report) noexcept;

    platform::SystemLog& log_;
    std::string_view origin_;
    std::string user_;
    std::string sudoUser_;
    std::string host_;
    bool strict_ = false;
};

}  // namespace removal

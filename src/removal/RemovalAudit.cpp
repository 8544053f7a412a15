#include "RemovalAudit.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <initializer_list>
#include <random>

#include "StopRequest.h"
#include "UtcTime.h"
#include "Utf8.h"
#include "ado/ConnectionString.h"
#include "ado/Providers.h"

namespace removal {
namespace {

std::string firstOf(const std::vector<ado::ConnectionProperty>& properties,
                    std::initializer_list<std::string_view> keys) {
    for (std::string_view key : keys)
        if (auto value = ado::FindProperty(properties, key); value && !value->empty()) return *value;
    return {};
}

// Characters that would let a value pass for something else in a log viewer:
// C1 controls, line and paragraph separators, direction marks and overrides,
// the byte-order mark.
bool disguises(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

void appendHex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

std::string utcTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto sinceEpoch = when.time_since_epoch();
    const std::time_t seconds =
        static_cast<std::time_t>(duration_cast<std::chrono::seconds>(sinceEpoch).count());
    const long millis = static_cast<long>(duration_cast<milliseconds>(sinceEpoch).count() % 1000);
    const std::tm utc = platform::UtcTimeParts(seconds);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

void appendQuoted(std::string& line, std::string_view key, std::string_view value) {
    if (value.empty()) return;
    line += ' ';
    line += key;
    line += '=';
    line += LogQuoted(value);
}

void appendNumber(std::string& line, const std::string& numeroExame) {
    line += " exame=" + LogQuoted(numeroExame, kLoggedNumberLimit);
    if (numeroExame.size() > kLoggedNumberLimit) line += " exame_bytes=" + std::to_string(numeroExame.size());
}

// " key=Aplique:3,...", the rows of each statement that ran, when any ran.
void appendRows(std::string& line, std::string_view key, const CascadeReport& set) {
    if (set.removed.empty()) return;
    line += ' ';
    line += key;
    line += '=';
    for (std::size_t i = 0; i < set.removed.size(); ++i) {
        if (i) line += ',';
        line += set.removed[i].table;
        line += ':';
        line += std::to_string(set.removed[i].rows);
    }
}

// " prefixfalha=... prefixerro=..." when the set stopped.
void appendFailure(std::string& line, const std::string& prefix, const CascadeReport& set) {
    if (set.failedAt.empty()) return;
    line += ' ';
    line += prefix;
    line += "falha=";
    line += set.failedAt;
    appendQuoted(line, prefix + "erro", set.error);
}

void appendSet(std::string& line, std::string_view key, const CascadeReport& set) {
    line += ' ';
    line += key;
    line += '=';
    line += SetEndToken(set.end);
    if (set.end == CascadeReport::End::NotRun) return;
    appendRows(line, std::string(key) + "_linhas", set);
    appendFailure(line, std::string(key) + "_", set);
}

// Who removes which examination, from where: origem to exame_bytes.
void appendAttempt(std::string& line, const AuditAttempt& attempt) {
    line += " origem=";
    line += attempt.origin;
    appendQuoted(line, "usuario", attempt.user);
    appendQuoted(line, "usuario_sudo", attempt.sudoUser);
    appendQuoted(line, "host", attempt.host);

    const DatabaseName database = DescribeDatabase(attempt.connectionString);
    appendQuoted(line, "provedor", database.provider);
    appendQuoted(line, "servidor", database.server);
    appendQuoted(line, "base", database.database);
    appendQuoted(line, "dsn", database.dsn);
    appendQuoted(line, "arquivo", database.file);
    appendNumber(line, attempt.numeroExame);
}

// A key that joins the records of one attempt: random, so that attempts of
// different processes, machines or days never share one.
std::string newAttemptId() {
    std::uint64_t value = 0;
    try {
        std::random_device device;
        value = (std::uint64_t{device()} << 32) ^ device();
    } catch (...) {
    }
    // Without a random source: the clock and a counter of this process.
    static std::atomic<std::uint64_t> counter{0};
    if (value == 0)
        value = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) *
                    0x9E3779B97F4A7C15ull +
                ++counter;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

DatabaseName DescribeDatabase(std::string_view connectionString) {
    const auto properties = ado::ParseConnectionString(connectionString);
    DatabaseName name;
    name.provider = firstOf(properties, {"Provider"});
    const ado::ProviderKind kind =
        name.provider.empty() ? ado::ProviderKind::Odbc : ado::ClassifyProvider(name.provider);
    switch (kind) {
        case ado::ProviderKind::Sqlite:
        case ado::ProviderKind::Access:
            name.file = firstOf(properties, {"Data Source", "DBQ"});
            break;
        case ado::ProviderKind::SqlServer:
            name.server =
                firstOf(properties, {"Data Source", "Server", "Address", "Addr", "Network Address"});
            name.database = firstOf(properties, {"Initial Catalog", "Database"});
            break;
        case ado::ProviderKind::Odbc:
        case ado::ProviderKind::Unknown:
            // ADO's ODBC provider reads Data Source as the data source name.
            name.dsn = firstOf(properties, {"DSN", "Data Source"});
            name.server = firstOf(properties, {"Server", "Servername", "Host"});
            name.database = firstOf(properties, {"Database", "Initial Catalog"});
            name.file = firstOf(properties, {"DBQ"});
            break;
    }
    if (const std::string port = firstOf(properties, {"Port"}); !port.empty() && !name.server.empty())
        name.server += ":" + port;
    return name;
}

std::string LogQuoted(std::string_view text, std::size_t limit) {
    if (text.size() > limit) text = text.substr(0, limit);
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x80) {
            appendHex(out, c);
            ++i;
        } else {
            const platform::Utf8Sequence sequence = platform::DecodeUtf8At(text, i);
            const std::size_t length = sequence.length;
            if (!sequence.valid) {
                appendHex(out, c);
                ++i;
            } else if (disguises(sequence.codePoint)) {
                for (std::size_t k = 0; k < length; ++k)
                    appendHex(out, static_cast<unsigned char>(text[i + k]));
                i += length;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
        }
    }
    out += '"';
    return out;
}

std::string_view OutcomeToken(RemovalReport::Outcome outcome) {
    using Outcome = RemovalReport::Outcome;
    switch (outcome) {
        case Outcome::NotFound:
            return "nao_encontrado";
        case Outcome::Cancelled:
            return "cancelado";
        case Outcome::Removed:
            return "removido";
        case Outcome::CheckFailed:
        case Outcome::Failed:
            return "falhou";
        case Outcome::NotAttempted:
            break;
    }
    return "nao_tentado";
}

std::string_view SetEndToken(CascadeReport::End end) {
    switch (end) {
        case CascadeReport::End::Committed:
            return "confirmado";
        case CascadeReport::End::RolledBack:
            return "desfeito";
        case CascadeReport::End::RollbackFailed:
            return "desfazer_falhou";
        case CascadeReport::End::CommittedOnCheck:
            return "confirmado_verificado";
        case CascadeReport::End::RolledBackOnCheck:
            return "desfeito_verificado";
        case CascadeReport::End::Uncertain:
            return "incerto";
        case CascadeReport::End::NotRun:
            break;
    }
    return "nao_executado";
}

std::string AuditLine(const AuditAttempt& attempt, const RemovalReport& report) {
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.3f",
                  std::chrono::duration<double, std::milli>(attempt.duration).count());

    std::string line = "evento=remocao_exame inicio=" + utcTime(attempt.start) + " duracao_ms=" + duration;
    appendAttempt(line, attempt);
    line += " resultado=";
    line += OutcomeToken(report.outcome);
    appendQuoted(line, "verificacao_erro", report.checkError);
    appendSet(line, "vivo", report.sets[0]);
    appendSet(line, "bk", report.sets[1]);
    appendQuoted(line, "copia", report.copyFile);
    appendQuoted(line, "erro_inesperado", attempt.unexpectedError);
    if (!attempt.id.empty()) line += " tentativa=" + attempt.id;
    return line;
}

std::string CommitLine(const AuditAttempt& attempt, std::string_view set, std::string_view phase,
                       const CascadeReport& report) {
    std::string line = "evento=remocao_exame_conjunto tentativa=" + attempt.id + " fase=";
    line += phase;
    line += " conjunto=";
    line += set;
    if (phase == "antes") {
        line += " inicio=" + utcTime(attempt.start);
        appendAttempt(line, attempt);
        appendRows(line, "linhas", report);
        return line;
    }
    appendNumber(line, attempt.numeroExame);
    line += " estado=";
    // Something the cascade does not catch ended it during the commit.
    line +=
        report.end == CascadeReport::End::NotRun ? std::string_view("desconhecido") : SetEndToken(report.end);
    appendFailure(line, "", report);
    return line;
}

std::string StrictAuditMessage(std::string_view root, bool liveCommitted) {
    std::string message = "Não foi possível gravar o registro de auditoria no log do sistema. ";
    message += "Com a auditoria estrita, nada foi removido de '" + std::string(root) + "'.";
    if (liveCommitted) message += " A remoção de 'Exame' já havia sido confirmada.";
    return message;
}

platform::LogSeverity AuditSeverity(const RemovalReport& report) {
    switch (report.outcome) {
        case RemovalReport::Outcome::Removed:
            return platform::LogSeverity::Notice;
        case RemovalReport::Outcome::CheckFailed:
        case RemovalReport::Outcome::Failed:
            return platform::LogSeverity::Error;
        default:
            return platform::LogSeverity::Info;
    }
}

platform::LogEvent AuditEvent(const RemovalReport& report) {
    switch (report.outcome) {
        case RemovalReport::Outcome::Removed:
            return platform::LogEvent::Removed;
        case RemovalReport::Outcome::NotFound:
            return platform::LogEvent::NotFound;
        case RemovalReport::Outcome::Cancelled:
            return platform::LogEvent::Cancelled;
        default:
            return platform::LogEvent::Failed;
    }
}

RemovalAudit::RemovalAudit(platform::SystemLog& log, std::string_view origin)
    : log_(log),
      origin_(origin),
      user_(platform::OperatingSystemUser()),
      sudoUser_(platform::SudoUser()),
      host_(platform::HostName()) {}

// Follows the cascades of one attempt: records each commit as it happens,
// withholds it under strict audit when its record was lost, and stops a set
// once the program is asked to stop.
class RemovalAudit::Commits : public CascadeObserver {
public:
    Commits(platform::SystemLog& log, const AuditAttempt& attempt, platform::Toolkit& ui, bool strict)
        : log_(log), attempt_(attempt), ui_(ui), strict_(strict) {}

    bool MayContinue(CascadeReport& report) noexcept override {
        if (!platform::StopRequested()) return true;
        try {
            report.failedAt = "interrompido";
            report.error = std::string("a execução foi interrompida (") + platform::StopRequestName() + ")";
        } catch (...) {
        }
        return false;
    }

    // A stop asked for during the last statement still withholds the commit.
    bool BeforeCommit(std::string_view suffix, CascadeReport& report) noexcept override {
        if (!MayContinue(report)) return false;
        write(platform::LogSeverity::Notice, suffix, "antes", report);
        if (!strict_ || !recordLost_) return true;
        try {
            report.failedAt = "auditoria";
            report.error = "o registro de auditoria não pôde ser gravado no log do sistema";
            ui_.MsgBox(StrictAuditMessage("Exame" + std::string(suffix), liveCommitted_), platform::vbOKOnly,
                       "Atenção!");
        } catch (...) {
            // The commit is withheld all the same.
        }
        return false;
    }

    void AfterCommit(std::string_view suffix, const CascadeReport& report) noexcept override {
        const bool committed =
            report.end == CascadeReport::End::Committed || report.end == CascadeReport::End::CommittedOnCheck;
        write(committed ? platform::LogSeverity::Notice : platform::LogSeverity::Error, suffix, "depois",
              report);
        liveCommitted_ = liveCommitted_ || (committed && suffix.empty());
    }

private:
    void write(platform::LogSeverity severity, std::string_view suffix, std::string_view phase,
               const CascadeReport& report) noexcept {
        bool written = false;
        try {
            written =
                log_.Write(severity,
                           phase == "antes" ? platform::LogEvent::CommitBefore : platform::LogEvent::CommitAfter,
                           CommitLine(attempt_, suffix.empty() ? "vivo" : "bk", phase, report));
        } catch (...) {
        }
        recordLost_ = recordLost_ || !written;
    }

    platform::SystemLog& log_;
    const AuditAttempt& attempt_;
    platform::Toolkit& ui_;
    bool strict_;
    bool recordLost_ = false;     // a record of this attempt could not be written
    bool liveCommitted_ = false;  // the live set was committed
};

RemovalReport RemovalAudit::Remove(const std::string& numeroExame, ado::Connection& connection,
                                   platform::Toolkit& ui, const std::string& copyFolder) {
    AuditAttempt attempt;
    attempt.id = newAttemptId();
    attempt.start = std::chrono::system_clock::now();
    const auto started = std::chrono::steady_clock::now();
    attempt.origin = origin_;
    attempt.user = user_;
    attempt.sudoUser = sudoUser_;
    attempt.host = host_;
    attempt.connectionString = connection.ConnectionString();
    attempt.numeroExame = numeroExame;
    RemovalReport report;
    Commits commits(log_, attempt, ui, strict_);
    try {
        removal::cmdAtualizar_Click(numeroExame, connection, ui, &report, &commits, copyFolder);
    } catch (const std::exception& error) {
        attempt.duration = std::chrono::steady_clock::now() - started;
        if (report.outcome != RemovalReport::Outcome::CheckFailed)
            report.outcome = RemovalReport::Outcome::Failed;
        attempt.unexpectedError = error.what();
        write(attempt, report);
        throw;
    }
    attempt.duration = std::chrono::steady_clock::now() - started;
    if (report.outcome != RemovalReport::Outcome::NotAttempted) write(attempt, report);
    return report;
}

void RemovalAudit::write(const AuditAttempt& attempt, const RemovalReport& report) noexcept {
    try {
        log_.Write(AuditSeverity(report), AuditEvent(report), AuditLine(attempt, report));
    } catch (...) {
        // The record is lost; the removal it describes is not touched.
    }
}

}  // namespace removal

#include "RemovalAudit.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <initializer_list>

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
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
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

void appendSet(std::string& line, std::string_view key, const CascadeReport& set) {
    line += ' ';
    line += key;
    line += '=';
    line += SetEndToken(set.end);
    if (set.end == CascadeReport::End::NotRun) return;
    if (!set.removed.empty()) {
        line += ' ';
        line += key;
        line += "_linhas=";
        for (std::size_t i = 0; i < set.removed.size(); ++i) {
            if (i) line += ',';
            line += set.removed[i].table;
            line += ':';
            line += std::to_string(set.removed[i].rows);
        }
    }
    if (!set.failedAt.empty()) {
        line += ' ';
        line += key;
        line += "_falha=";
        line += set.failedAt;
        appendQuoted(line, std::string(key) + "_erro", set.error);
    }
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

    line += " exame=" + LogQuoted(attempt.numeroExame, kLoggedNumberLimit);
    if (attempt.numeroExame.size() > kLoggedNumberLimit)
        line += " exame_bytes=" + std::to_string(attempt.numeroExame.size());
    line += " resultado=";
    line += OutcomeToken(report.outcome);
    appendQuoted(line, "verificacao_erro", report.checkError);
    appendSet(line, "vivo", report.sets[0]);
    appendSet(line, "bk", report.sets[1]);
    appendQuoted(line, "copia", report.copyFile);
    appendQuoted(line, "erro_inesperado", attempt.unexpectedError);
    return line;
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

RemovalAudit::RemovalAudit(platform::SystemLog& log, std::string_view origin)
    : log_(log),
      origin_(origin),
      user_(platform::OperatingSystemUser()),
      sudoUser_(platform::SudoUser()),
      host_(platform::HostName()) {}

RemovalReport RemovalAudit::Remove(const std::string& numeroExame, ado::Connection& connection,
                                   platform::Toolkit& ui, const std::string& copyFolder) {
    AuditAttempt attempt;
    attempt.start = std::chrono::system_clock::now();
    const auto started = std::chrono::steady_clock::now();
    attempt.numeroExame = numeroExame;
    RemovalReport report;
    try {
        removal::cmdAtualizar_Click(numeroExame, connection, ui, &report, copyFolder);
    } catch (const std::exception& error) {
        attempt.duration = std::chrono::steady_clock::now() - started;
        attempt.connectionString = connection.ConnectionString();
        if (report.outcome != RemovalReport::Outcome::CheckFailed)
            report.outcome = RemovalReport::Outcome::Failed;
        attempt.unexpectedError = error.what();
        write(attempt, report);
        throw;
    }
    attempt.duration = std::chrono::steady_clock::now() - started;
    if (report.outcome != RemovalReport::Outcome::NotAttempted) {
        attempt.connectionString = connection.ConnectionString();
        write(attempt, report);
    }
    return report;
}

void RemovalAudit::write(AuditAttempt& attempt, const RemovalReport& report) noexcept {
    try {
        attempt.origin = origin_;
        attempt.user = user_;
        attempt.sudoUser = sudoUser_;
        attempt.host = host_;
        log_.Write(AuditSeverity(report), AuditLine(attempt, report));
    } catch (...) {
        // The record is lost; the removal it describes is not touched.
    }
}

}  // namespace removal

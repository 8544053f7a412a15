// The audit record of each removal attempt, read back from a log receiver of
// the test's own (a datagram socket standing in for the syslog daemon).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <regex>
#include <string>
#include <thread>

#include "ExamBackends.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "LogReceiver.h"
#include "RemovalAudit.h"
#include "StopRequest.h"
#include "SystemLog.h"
#include "TempDir.h"
#include "ado/Connection.h"

namespace {

using namespace testing_support;

// The rows the cascade is expected to report for one set, in the cascade's
// order, counted independently of its statements.
std::string ExpectedRows(ado::Connection& cn, const std::string& number, const std::string& suffix,
                         std::size_t statements = 13) {
    static const char* const kOrder[] = {"Aplique",
                                         "Exame_Imagem_Backup",
                                         "Exame_Imagem",
                                         "Exame_Página",
                                         "Exame_Descritivo",
                                         "Bethesda",
                                         "Exame_Etapa_Histórico",
                                         "Exame_Etapa_Imprimir",
                                         "Exame_Etapa",
                                         "Exame_CID",
                                         "Exame_Descritivo_Impressão_Tipo",
                                         "Exame_Responsável",
                                         "Exame"};
    const Snapshot rows = RowsOfExamination(cn, number, suffix);
    std::string list;
    for (std::size_t i = 0; i < statements; ++i)
        list +=
            std::string(i ? "," : "") + kOrder[i] + ":" + std::to_string(rows.at(kOrder[i] + suffix).size());
    return list;
}

// The records of one attempt: those of its commits, then its final one.
struct AttemptRecords {
    std::vector<std::string> commits;
    std::string final;
};

AttemptRecords ReceiveAttempt(LogReceiver& receiver) {
    AttemptRecords records;
    for (std::string record; !(record = receiver.Next()).empty();) {
        if (record.find("]: evento=remocao_exame_conjunto ") == std::string::npos) {
            records.final = record;
            break;
        }
        records.commits.push_back(record);
    }
    return records;
}

// "fase conjunto[ estado]" of each commit record, and the rows its "antes"
// records give; every record must carry the final one's tentativa.
std::vector<std::string> CommitSteps(const AttemptRecords& records,
                                     std::vector<std::string>* rows = nullptr) {
    const std::string attempt = LogFields(records.final)["tentativa"];
    EXPECT_TRUE(std::regex_match(attempt, std::regex("[0-9a-f]{16}"))) << records.final;
    std::vector<std::string> steps;
    for (const std::string& record : records.commits) {
        auto fields = LogFields(record);
        EXPECT_EQ(fields["tentativa"], attempt) << record;
        steps.push_back(fields["fase"] + " " + fields["conjunto"] +
                        (fields.count("estado") ? " " + fields["estado"] : ""));
        if (rows && fields["fase"] == "antes") rows->push_back(fields["linhas"]);
    }
    return steps;
}

class RemovalAuditSuite : public ::testing::TestWithParam<BackendFactory> {
protected:
    void SetUp() override {
        backend_ = GetParam()();
        connectionString_ = backend_->Fresh(Twins::Included);
        cn_ = std::make_unique<ado::Connection>(connectionString_);
        cn_->Open();
    }

    std::unique_ptr<ExamBackend> backend_;
    std::string connectionString_;
    std::unique_ptr<ado::Connection> cn_;
    LogReceiver receiver_;
    platform::LocalSyslog log_{receiver_.path()};
    removal::RemovalAudit audit_{log_, "janela"};
};

TEST_P(RemovalAuditSuite, EveryAttemptLeavesOneRecordOfWhatItDid) {
    const SeedNumbers seed = FindSeedNumbers(*cn_);
    const std::string removed = seed.both.front();
    const std::string failing = seed.both.back();
    ASSERT_NE(removed, failing);
    const std::string removedLive = ExpectedRows(*cn_, removed, "");
    const std::string removedTwins = ExpectedRows(*cn_, removed, "_BK");
    const std::string failingLive = ExpectedRows(*cn_, failing, "");
    const std::string failingTwins = ExpectedRows(*cn_, failing, "_BK", 9);

    struct Case {
        std::string typed;
        int answer;
        bool dropTwinTable;                           // makes the twins' cascade stop at its tenth statement
        std::map<std::string, std::string> expected;  // "" means: absent
        std::vector<std::string> commits;             // of the commit records
        std::vector<std::string> commitRows;          // the rows their "antes" records give
    };
    const Case cases[] = {
        {removed,
         platform::vbOK,
         false,
         {{"resultado", "removido"},
          {"vivo", "confirmado"},
          {"vivo_linhas", removedLive},
          {"bk", "confirmado"},
          {"bk_linhas", removedTwins},
          {"bk_falha", ""}},
         {"antes vivo", "depois vivo confirmado", "antes bk", "depois bk confirmado"},
         {removedLive, removedTwins}},
        {"9 9\"\n<13>forjado",
         platform::vbOK,
         false,
         {{"resultado", "nao_encontrado"},
          {"exame", R"("9 9\"\x0A<13>forjado")"},
          {"vivo", "nao_executado"},
          {"vivo_linhas", ""}},
         {},
         {}},
        {failing, platform::vbCancel, false, {{"resultado", "cancelado"}, {"vivo", "nao_executado"}}, {}, {}},
        {failing,
         platform::vbOK,
         true,
         {{"resultado", "falhou"},
          {"vivo", "confirmado"},
          {"vivo_linhas", failingLive},
          {"bk", "desfeito"},
          {"bk_linhas", failingTwins},
          {"bk_falha", "Exame_CID"}},
         {"antes vivo", "depois vivo confirmado"},
         {failingLive}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        if (c.dropTwinTable) cn_->Execute("DROP TABLE Exame_CID_BK");
        FakeToolkit ui;
        ui.AnswerNext(c.answer);
        audit_.Remove(c.typed, *cn_, ui);

        const AttemptRecords records = ReceiveAttempt(receiver_);
        const std::string& record = records.final;
        ASSERT_FALSE(record.empty()) << "no record";
        std::vector<std::string> commitRows;
        EXPECT_EQ(CommitSteps(records, &commitRows), c.commits);
        EXPECT_EQ(commitRows, c.commitRows);
        EXPECT_EQ(record.find('\n'), std::string::npos);
        // authpriv, ident and process as syslog(3) writes them.
        EXPECT_TRUE(
            std::regex_search(record, std::regex(R"(^<8[0-7]>\w{3} [ \d]\d \d\d:\d\d:\d\d remover-exame\[)" +
                                                 std::to_string(getpid()) + R"(\]: evento=remocao_exame )")))
            << record;
        const auto fields = LogFields(record);
        EXPECT_TRUE(
            std::regex_match(fields.at("inicio"), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
        EXPECT_TRUE(std::regex_match(fields.at("duracao_ms"), std::regex(R"(\d+\.\d{3})")));
        EXPECT_EQ(fields.at("origem"), "janela");
        EXPECT_EQ(fields.at("usuario"), "\"" + platform::OperatingSystemUser() + "\"");
        EXPECT_EQ(fields.at("host"), "\"" + platform::HostName() + "\"");
        if (!c.expected.count("exame")) {
            EXPECT_EQ(fields.at("exame"), "\"" + c.typed + "\"");
        }
        for (const auto& [key, value] : c.expected) {
            if (value.empty()) {
                EXPECT_EQ(fields.count(key), 0u) << key;
            } else {
                EXPECT_EQ(fields.count(key) ? fields.at(key) : "(absent)", value) << key;
            }
        }
        if (fields.count("bk_falha")) {
            EXPECT_NE(fields.at("bk_erro").find(" - "), std::string::npos);
        }
        EXPECT_EQ(receiver_.Next(false), "") << "one final record per attempt";
    }

    // An empty number never reaches the database and leaves no record.
    FakeToolkit ui;
    audit_.Remove("", *cn_, ui);
    EXPECT_EQ(receiver_.Next(false), "");
}

TEST_P(RemovalAuditSuite, TheRecordNamesTheDatabaseButNeverItsPassword) {
    FakeToolkit ui;
    audit_.Remove("no-such-exam", *cn_, ui);
    const std::string record = receiver_.Next();
    const auto fields = LogFields(record);
    const removal::DatabaseName name = removal::DescribeDatabase(connectionString_);
    EXPECT_TRUE(name.file.empty() != name.database.empty()) << "a file, or a database on a server";
    if (!name.file.empty()) {
        EXPECT_EQ(fields.at("arquivo"), removal::LogQuoted(name.file));
    }
    if (!name.database.empty()) {
        EXPECT_EQ(fields.at("base"), "\"" + MariaDbServer::Shared().database() + "\"");
        EXPECT_EQ(fields.at("servidor"),
                  "\"127.0.0.1:" + std::to_string(MariaDbServer::Shared().port()) + "\"");
        EXPECT_EQ(record.find(MariaDbServer::Shared().password()), std::string::npos) << record;
    }
    EXPECT_EQ(record.find(connectionString_), std::string::npos);
}

// A log that takes so many records and then fails, as a daemon that stops.
class FailingLog : public platform::SystemLog {
public:
    explicit FailingLog(int accepted) : accepted_(accepted) {}
    bool Write(platform::LogSeverity, platform::LogEvent, std::string_view) noexcept override { return accepted_-- > 0; }

private:
    int accepted_;
};

// Under strict audit a set is committed only once its record is written and
// no record of the attempt was lost; the operator is told what was withheld.
TEST_P(RemovalAuditSuite, StrictAuditCommitsNothingWhoseRecordIsLost) {
    const std::string number = FindSeedNumbers(*cn_).both.front();
    const std::size_t live = CountRows(RowsOfExamination(*cn_, number, ""));
    const std::size_t twins = CountRows(RowsOfExamination(*cn_, number, "_BK"));
    ASSERT_GT(live * twins, 0u);
    const std::string lost =
        "Não foi possível gravar o registro de auditoria no log do sistema. Com a auditoria estrita, nada "
        "foi "
        "removido de '";
    struct Case {
        int accepted;  // records the log takes
        std::size_t live, twins;
        std::string message;
    };
    const Case cases[] = {
        {0, live, twins, lost + "Exame'."},
        // The live set's record before its commit is written, the one after
        // it lost: that commit stands, the twins' is withheld.
        {1, 0, twins, lost + "Exame_BK'. A remoção de 'Exame' já havia sido confirmada."},
        {99, 0, 0, "Exame removido com sucesso."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.accepted);
        FailingLog log(c.accepted);
        removal::RemovalAudit strict(log, "janela");
        strict.SetStrict(true);
        FakeToolkit ui;
        strict.Remove(number, *cn_, ui);
        ASSERT_FALSE(ui.calls.empty());
        EXPECT_EQ(ui.calls.back().prompt, c.message);
        EXPECT_EQ(CountRows(RowsOfExamination(*cn_, number, "")), c.live);
        EXPECT_EQ(CountRows(RowsOfExamination(*cn_, number, "_BK")), c.twins);
    }
}

// A group removes, tells and records each examination as removals one at a
// time do, from a database in the same state: the one in the middle that a
// table outside the thirteen holds in Exame is rolled back to its savepoint
// alone, and the others are committed around it.
TEST_P(RemovalAuditSuite, AGroupDoesForEachExaminationWhatOneAtATimeDoes) {
    struct Run {
        std::vector<removal::RemovalReport> reports;
        std::vector<std::string> messages, finals, commits;  // messages and commits sorted
        Snapshot after;
    };
    auto runOn = [&](bool grouped) {
        ado::Connection cn(backend_->Fresh(Twins::Included));
        cn.Open();
        const SeedNumbers seed = FindSeedNumbers(cn);
        const std::vector<std::string> numbers = {seed.both.front(),      seed.both.back(),
                                                  seed.liveOnly.front(),  "nao-existe",
                                                  seed.twinsOnly.front(), ""};
        cn.Execute(
            "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
            "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame))");
        cn.Execute("INSERT INTO Laudo_Externo (Id, Número_Exame) VALUES (1, '" + seed.both.back() + "')");
        FakeToolkit ui;
        Run run;
        std::string current;
        ui.onMessageBox = [&](const MessageBoxCall& call) {
            run.messages.push_back(current + ": " + call.prompt);
        };
        if (grouped) {
            std::vector<removal::GroupMember> members(numbers.size());
            for (std::size_t i = 0; i < numbers.size(); ++i) members[i].numeroExame = numbers[i];
            audit_.RemoveGroup(members, cn, cn.Savepoints(), ui,
                               [&](std::size_t i) { current = numbers[i]; });
            for (const auto& member : members) run.reports.push_back(member.report);
        } else {
            for (const std::string& number : numbers) {
                current = number;
                run.reports.push_back(audit_.Remove(number, cn, ui));
            }
        }
        for (std::string record; !(record = receiver_.Next(false)).empty();) {
            auto fields = LogFields(record);
            std::string line;
            for (const char* key : {"evento", "exame", "fase", "conjunto", "estado", "linhas", "resultado",
                                    "vivo", "vivo_linhas", "bk", "bk_linhas", "vivo_falha", "bk_falha"})
                if (fields.count(key)) line += std::string(key) + "=" + fields[key] + " ";
            (fields["evento"] == "remocao_exame" ? run.finals : run.commits).push_back(line);
        }
        std::sort(run.messages.begin(), run.messages.end());
        std::sort(run.commits.begin(), run.commits.end());
        run.after = TakeSnapshot(cn);
        return run;
    };
    const Run alone = runOn(false), grouped = runOn(true);
    ASSERT_EQ(grouped.reports.size(), alone.reports.size());
    for (std::size_t i = 0; i < alone.reports.size(); ++i) {
        SCOPED_TRACE(i);
        const auto &a = alone.reports[i], &g = grouped.reports[i];
        EXPECT_EQ(g.outcome, a.outcome);
        for (std::size_t s = 0; s < 2; ++s) {
            EXPECT_EQ(g.sets[s].end, a.sets[s].end);
            EXPECT_EQ(g.sets[s].failedAt, a.sets[s].failedAt);
            EXPECT_EQ(g.sets[s].error, a.sets[s].error);
            ASSERT_EQ(g.sets[s].removed.size(), a.sets[s].removed.size());
            for (std::size_t t = 0; t < a.sets[s].removed.size(); ++t)
                EXPECT_EQ(g.sets[s].removed[t].rows, a.sets[s].removed[t].rows);
        }
    }
    EXPECT_EQ(alone.reports[1].sets[0].failedAt, "Exame");
    EXPECT_EQ(grouped.messages, alone.messages);
    EXPECT_EQ(grouped.finals, alone.finals);
    EXPECT_EQ(grouped.commits, alone.commits);
    EXPECT_EQ(grouped.after, alone.after);
}

// Asked to stop while a group's live set runs: the group's transaction is
// rolled back whole, the examination done before the request included, and
// each examination says it was interrupted.
TEST_P(RemovalAuditSuite, AStopRollsBackTheGroupsSetUnderWayWhole) {
    const SeedNumbers seed = FindSeedNumbers(*cn_);
    const std::vector<std::string> numbers = {seed.both.front(), seed.liveOnly.front(), seed.both.back()};
    const Snapshot before = TakeSnapshot(*cn_);
    std::vector<removal::GroupMember> members(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) members[i].numeroExame = numbers[i];
    {
        const platform::StopRequests stopRequests;
        std::size_t focused = 0;
        FakeToolkit ui;
        // The checks focus on each examination once; then the live set's
        // second cascade is about to begin.
        audit_.RemoveGroup(members, *cn_, cn_->Savepoints(), ui, [&](std::size_t) {
            if (++focused == numbers.size() + 2) std::raise(SIGTERM);
        });
    }
    EXPECT_FALSE(platform::StopRequested()) << "the request outlived its guard";
    EXPECT_EQ(TakeSnapshot(*cn_), before);
    for (const auto& member : members) {
        SCOPED_TRACE(member.numeroExame);
        EXPECT_EQ(member.report.outcome, removal::RemovalReport::Outcome::Failed);
        EXPECT_EQ(member.report.sets[0].end, removal::CascadeReport::End::RolledBack);
        EXPECT_EQ(member.report.sets[0].failedAt, "interrompido");
        EXPECT_EQ(member.report.sets[1].end, removal::CascadeReport::End::NotRun);
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RemovalAuditSuite, ::testing::Values(SqliteExamBackend()), DatabaseName);
INSTANTIATE_TEST_SUITE_P(MariaDb, RemovalAuditSuite, ::testing::Values(MariaDbExamBackend()), DatabaseName);

TEST(DescribeDatabase, KeepsWhereTheDataLivesAndNothingElse) {
    struct Case {
        std::string connectionString;
        removal::DatabaseName expected;
    };
    const Case cases[] = {
        {"Provider=SQLite;Data Source=/srv/exames.db;Password=s3nha",
         {"SQLite", "", "", "", "/srv/exames.db"}},
        {"Provider=SQLOLEDB.1;Password=s3nha;Persist Security Info=True;User ID=sa;Initial Catalog=Laudos;"
         "Data Source=SRV\\SQL2019",
         {"SQLOLEDB.1", "SRV\\SQL2019", "Laudos", "", ""}},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Dados\\Laudos.mdb;Jet OLEDB:Database "
         "Password=s3nha",
         {"Microsoft.Jet.OLEDB.4.0", "", "", "", "C:\\Dados\\Laudos.mdb"}},
        {"Driver={MariaDB Unicode};Server=db1;Port=3307;Database=laudos;UID=u;PWD=s3nha",
         {"", "db1:3307", "laudos", "", ""}},
        {"Provider=MSDASQL;Data Source=Laudos;User ID=u;Password=s3nha", {"MSDASQL", "", "", "Laudos", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connectionString);
        const removal::DatabaseName name = removal::DescribeDatabase(c.connectionString);
        EXPECT_EQ(name.provider, c.expected.provider);
        EXPECT_EQ(name.server, c.expected.server);
        EXPECT_EQ(name.database, c.expected.database);
        EXPECT_EQ(name.dsn, c.expected.dsn);
        EXPECT_EQ(name.file, c.expected.file);
    }
}

TEST(LogQuoted, NoTextCanEndItsValueOrForgeALine) {
    const std::pair<std::string, std::string> cases[] = {
        {"1001", R"("1001")"},
        {"a b=c", R"("a b=c")"},
        {"x\" resultado=removido", R"("x\" resultado=removido")"},
        {"\\", R"("\\")"},
        {"1\r\n2\t\x7F", R"("1\x0D\x0A2\x09\x7F")"},
        {"S\xC3\xA3o Jo\xC3\xA3o", "\"S\xC3\xA3o Jo\xC3\xA3o\""},
        {"\xE2\x80\xAE"
         "1001",
         R"("\xE2\x80\xAE1001")"},                  // right-to-left override
        {"a\xE2\x80\xA8z", R"("a\xE2\x80\xA8z")"},  // line separator
        {"\xC2\x85", R"("\xC2\x85")"},              // next line (C1)
        {"\xFF\xC3", R"("\xFF\xC3")"},              // not UTF-8
        {"\xC0\xAF", R"("\xC0\xAF")"},              // overlong "/"
        {std::string("1\0"
                     "2",
                     3),
         R"("1\x002")"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(removal::LogQuoted(text), expected) << text;
    EXPECT_EQ(removal::LogQuoted(std::string(600, 'a'), 4), R"("aaaa")");
}

TEST(SudoUser, OnlyARootProcessStartedThroughSudoNamesTheUserWhoRanIt) {
    const auto names = [](unsigned uid) -> std::string { return uid == 1000 ? "chefe" : ""; };
    struct Case {
        unsigned uid, euid;
        const char *sudoUser, *sudoUid, *expected;
    };
    const Case cases[] = {
        {0, 0, "chefe", "1000", "chefe"}, {1000, 1000, "chefe", "1000", ""},  // set by chefe himself
        {1000, 0, "chefe", "1000", ""},                                       // a set-user-id program
        {0, 0, "chefe", nullptr, ""},                                         // SUDO_USER alone
        {0, 0, "chefe", "1001", ""},                                          // a pair that disagrees
        {0, 0, "chefe", "1000x", ""},     {0, 0, "chefe", "4294968296", ""},  // 2^32 + 1000
        {0, 0, nullptr, "1000", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::SudoUserOf(c.uid, c.euid, c.sudoUser, c.sudoUid, names), c.expected)
            << c.uid << " " << c.euid << " " << (c.sudoUser ? c.sudoUser : "-") << " "
            << (c.sudoUid ? c.sudoUid : "-");

    // The forgery as it was done: SUDO_USER set by hand, without sudo.
    setenv("SUDO_USER", "chefe", 1);
    unsetenv("SUDO_UID");
    LogReceiver receiver;
    platform::LocalSyslog log(receiver.path());
    removal::RemovalAudit audit(log, "janela");
    unsetenv("SUDO_USER");
    TempDir dir;
    ado::Connection cn(CreateSqliteExamDatabase(dir.file("exames.db")));
    cn.Open();
    FakeToolkit ui;
    audit.Remove("no-such-exam", cn, ui);
    const std::string record = receiver.Next();
    EXPECT_NE(record.find(" usuario="), std::string::npos) << record;
    EXPECT_EQ(LogFields(record).count("usuario_sudo"), 0u) << record;
}

TEST(LocalSyslog, ADaemonBehindLosesNothingAndOneMissingOrStuckCostsOnlyTheRecord) {
    // Behind: it reads a record every millisecond while records come in a
    // burst, far more than its queue holds.
    LogReceiver slow(LogReceiver::Reading::OnDemand);
    platform::LocalSyslog toSlow(slow.path());
    std::atomic<int> received{0};
    std::thread reader([&] {
        while (received < 300 && !slow.Next().empty()) {
            ++received;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int written = 0;
    for (int i = 0; i < 300; ++i) written += toSlow.Write(platform::LogSeverity::Notice, platform::LogEvent::Removed, "registro") ? 1 : 0;
    reader.join();
    EXPECT_EQ(written, 300);
    EXPECT_EQ(received, 300);

    platform::LocalSyslog missing(TempDir().file("no-daemon"));
    EXPECT_FALSE(missing.Write(platform::LogSeverity::Notice, platform::LogEvent::Removed, "x"));

    // Stuck: it never reads. Writing fails soon, and then at once.
    LogReceiver stuck(LogReceiver::Reading::OnDemand);
    platform::LocalSyslog toStuck(stuck.path());
    const auto start = std::chrono::steady_clock::now();
    written = 0;
    for (int i = 0; i < 2000; ++i)
        written += toStuck.Write(platform::LogSeverity::Notice, platform::LogEvent::Removed, "registro") ? 1 : 0;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 2000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace

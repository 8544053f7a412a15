// The command line ended from outside while it removes: killed, asked to stop,
// its output gone, its log gone under strict audit. Every commit that
// happened can be read from the log afterwards, and nothing is committed that
// cannot.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "CommandLine.h"
#include "DE.h"
#include "ExamDatabase.h"
#include "LogReceiver.h"
#include "MariaDbServer.h"
#include "TempDir.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"

namespace {

using namespace std::chrono_literals;
using faults::ChildProcess;
using testing_support::LogFields;
using testing_support::LogReceiver;
using testing_support::MariaDbServer;
using testing_support::TempDir;

// The command line as the program runs it, with logPath as its system log;
// what it writes to the error stream goes to the parent when self is given.
int RunCommandLine(std::vector<std::string> args, const std::string& logPath, ChildProcess* self = nullptr) {
    args.insert(args.begin(), "remover-exame");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    platform::LocalSyslog log(logPath);
    std::istringstream in;
    std::ostringstream out, err;
    const bool toStandardStreams = self == nullptr;
    const int status = app::RunCommandLine(
        static_cast<int>(argv.size()), argv.data(),
        {in, toStandardStreams ? std::cout : out, toStandardStreams ? std::cerr : err, false}, &log);
    if (self) self->Say(err.str());
    return status;
}

// The records received, each as "fase conjunto[ estado]" for a commit and
// "resultado vivo bk[ bk_falha]" for an attempt's end.
std::vector<std::string> Steps(LogReceiver& receiver) {
    std::vector<std::string> steps;
    for (std::string record; !(record = receiver.Next(false)).empty();) {
        auto f = LogFields(record);
        if (f["evento"] == "remocao_exame_conjunto")
            steps.push_back(f["fase"] + " " + f["conjunto"] + (f.count("estado") ? " " + f["estado"] : ""));
        else
            steps.push_back(f["resultado"] + " " + f["vivo"] + " " + f["bk"] +
                            (f.count("bk_falha") ? " " + f["bk_falha"] : ""));
    }
    return steps;
}

std::string IniFor(TempDir& dir, const std::string& connectionString, const std::string& more = "") {
    return dir.write("Quelvomir.INI", "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n" + more);
}

// The twins' cascade waits for a row of Exame_BK that another session holds
// when the program is killed (SIGKILL) or asked to stop (SIGTERM). Killed,
// it leaves the live set's commit on record; asked to stop, it also rolls
// the twins back once the statement under way is over, records that, and
// ends with status 2.
TEST(AuditFaults, ACommitIsOnRecordWhateverEndsTheProgramAfterIt) {
    MariaDbServer& server = MariaDbServer::Shared();
    struct Case {
        int signal, status;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {SIGKILL, 128 + SIGKILL, {"antes vivo", "depois vivo confirmado"}},
        {SIGTERM, 2, {"antes vivo", "depois vivo confirmado", "falhou confirmado desfeito interrompido"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signal);
        std::string load = "DROP DATABASE IF EXISTS " + server.database() + "; CREATE DATABASE " +
                           server.database() + " CHARACTER SET utf8mb4; USE " + server.database() + ";";
        for (const auto& file : {testing_support::ExamSchemaFile(), testing_support::ExamSeedFile()})
            for (const auto& statement : testing_support::SqlStatements(file)) load += statement;
        server.RunSql(load);
        const std::string number = "1001";
        const std::string twinRows = "SELECT COUNT(*) FROM Exame_Etapa_BK WHERE Número_Exame = '1001'";
        const std::string twinsBefore = server.RunSql(twinRows);
        ASSERT_NE(twinsBefore, "0\n");

        ado::Connection holder(server.ConnectionString());
        holder.Open();
        holder.BeginTrans();
        ado::Recordset lock;
        lock.Open("SELECT Número_Exame FROM Exame_BK WHERE Número_Exame = '1001' FOR UPDATE", holder);

        TempDir dir;
        const std::string ini = IniFor(dir, server.ConnectionString());
        LogReceiver receiver;
        ChildProcess tool([&](ChildProcess& self) {
            return RunCommandLine({"--ini", ini, "--confirmar", "--exame", number}, receiver.path(), &self);
        });
        // Any statement of the twins' cascade waits for the row (the optimizer
        // reads it in its first one already).
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (server.RunSql("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE COMMAND = 'Query' "
                             "AND INFO LIKE 'DELETE%' AND LOCATE('_BK', INFO) > 0") == "0\n" &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_LT(std::chrono::steady_clock::now(), deadline)
            << "the twins' cascade never waited for the row";

        if (c.signal == SIGKILL)
            tool.Kill();
        else
            tool.Signal(c.signal);
        holder.RollbackTrans();
        EXPECT_EQ(tool.Finish(20s), c.status) << tool.Output();
        EXPECT_EQ(Steps(receiver), c.steps);
        EXPECT_EQ(server.RunSql("SELECT COUNT(*) FROM Exame WHERE Número_Exame = '1001'"), "0\n");
        EXPECT_EQ(server.RunSql(twinRows), twinsBefore);
    }
}

// A log that passes each record on and, once it has written its pauseAt-th,
// tells the parent and waits there to be killed.
class PausingLog : public platform::SystemLog {
public:
    PausingLog(const std::string& path, int pauseAt, ChildProcess& self)
        : log_(path), pauseAt_(pauseAt), self_(self) {}
    bool Write(platform::LogSeverity severity, platform::LogEvent event,
               std::string_view line) noexcept override {
        const bool written = log_.Write(severity, event, line);
        if (++count_ == pauseAt_) {
            try {
                self_.Say("pausa\n");
                self_.Await();
            } catch (...) {
            }
        }
        return written;
    }

private:
    platform::LocalSyslog log_;
    int pauseAt_, count_ = 0;
    ChildProcess& self_;
};

// A grouped run (--lote 2, two groups) killed (SIGKILL) just after each
// record it writes, on SQLite and on MariaDB: each examination's live set
// and _BK set are each whole or absent, a set that is gone has the record
// written before its commit, and one recorded as committed is gone.
TEST(AuditFaults, AGroupedRunKilledAfterAnyRecordLeavesEachSetWholeOrAbsent) {
    TempDir dir;
    struct Engine {
        const char* name;
        std::function<std::string()> fresh;  // a new database, its connection string
        std::vector<int> pauses;             // the records after which it is killed
    };
    // Every record of the run: per examination 2 per set and its final one.
    std::vector<int> everyRecord(20);
    std::iota(everyRecord.begin(), everyRecord.end(), 1);
    int files = 0;
    const Engine engines[] = {
        {"SQLite",
         [&] {
             return testing_support::CreateSqliteExamDatabase(
                 dir.file("lote-" + std::to_string(++files) + ".db"));
         },
         everyRecord},
        {"MariaDB",
         [&] {
             MariaDbServer& server = MariaDbServer::Shared();
             std::string load = "DROP DATABASE IF EXISTS " + server.database() + "; CREATE DATABASE " +
                                server.database() + " CHARACTER SET utf8mb4; USE " + server.database() + ";";
             for (const auto& file : {testing_support::ExamSchemaFile(), testing_support::ExamSeedFile()})
                 for (const auto& statement : testing_support::SqlStatements(file)) load += statement;
             server.RunSql(load);
             return server.ConnectionString();
         },
         // The server is slower to reload: just before and just after each
         // commit of the run, and after each group's final records.
         {2, 3, 6, 7, 9, 10, 12, 13, 16, 17, 20}},
    };
    using testing_support::Snapshot;
    for (const Engine& engine : engines) {
        for (const int pauseAt : engine.pauses) {
            SCOPED_TRACE(std::string(engine.name) + " killed after record " + std::to_string(pauseAt));
            const std::string connectionString = engine.fresh();
            std::vector<std::string> numbers;
            std::map<std::string, Snapshot> before;  // number + suffix -> its rows
            {
                ado::Connection cn(connectionString);
                cn.Open();
                const auto seed = testing_support::FindSeedNumbers(cn);
                numbers = {seed.both.front(), seed.liveOnly.front(), seed.both.back(),
                           seed.twinsOnly.front()};
                for (const auto& number : numbers)
                    for (const std::string suffix : {"", "_BK"})
                        before[number + suffix] = testing_support::RowsOfExamination(cn, number, suffix);
            }
            const std::string ini = IniFor(dir, connectionString);
            LogReceiver receiver;
            ChildProcess tool([&](ChildProcess& self) {
                std::vector<std::string> args = {"remover-exame", "--ini", ini, "--confirmar",
                                                 "--lote",        "2",     "--"};
                args.insert(args.end(), numbers.begin(), numbers.end());
                std::vector<const char*> argv;
                for (const auto& a : args) argv.push_back(a.c_str());
                PausingLog log(receiver.path(), pauseAt, self);
                std::istringstream in;
                std::ostringstream out, err;
                return app::RunCommandLine(static_cast<int>(argv.size()), argv.data(), {in, out, err, false},
                                           &log);
            });
            ASSERT_TRUE(tool.WaitFor("pausa", 30s)) << tool.Output();
            tool.Kill();

            std::set<std::string> recordedBefore, recordedCommitted;  // number + suffix
            for (std::string record; !(record = receiver.Next(false)).empty();) {
                auto f = LogFields(record);
                if (f["evento"] != "remocao_exame_conjunto") continue;
                const std::string set =
                    f["exame"].substr(1, f["exame"].size() - 2) + (f["conjunto"] == "bk" ? "_BK" : "");
                if (f["fase"] == "antes") recordedBefore.insert(set);
                if (f["estado"] == "confirmado") recordedCommitted.insert(set);
            }
            ado::Connection cn(connectionString);
            cn.Open();
            for (const auto& number : numbers) {
                for (const std::string suffix : {"", "_BK"}) {
                    SCOPED_TRACE(number + suffix);
                    const Snapshot now = testing_support::RowsOfExamination(cn, number, suffix);
                    const bool had = testing_support::CountRows(before[number + suffix]) > 0;
                    const bool absent = testing_support::CountRows(now) == 0;
                    EXPECT_TRUE(absent || now == before[number + suffix]) << "half a set";
                    const bool recorded = recordedBefore.count(number + suffix) > 0;
                    const bool committed = recordedCommitted.count(number + suffix) > 0;
                    EXPECT_TRUE(!had || !absent || recorded) << "gone without a record";
                    EXPECT_TRUE(!had || absent || !committed) << "recorded as committed, still there";
                }
            }
        }
    }
}

// The reader of the output has gone (`2>&1 | head -1` once head has ended):
// the examination under way is still removed and recorded, the next one is
// not started, and the status is 2 instead of death by SIGPIPE.
TEST(AuditFaults, OutputThatCannotBeWrittenEndsTheRunAfterTheExaminationUnderWay) {
    TempDir dir;
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(dir.file("exames.db"));
    const std::string ini = IniFor(dir, connectionString);
    LogReceiver receiver;
    ChildProcess tool([&](ChildProcess&) {
        signal(SIGPIPE, SIG_DFL);  // as a shell starts a program
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return 98;
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(pipeEnds[1], STDERR_FILENO);
        return RunCommandLine({"--ini", ini, "--confirmar", "--exame", "1001", "--exame", "1002"},
                              receiver.path());
    });
    EXPECT_EQ(tool.Finish(20s), 2);
    EXPECT_EQ(Steps(receiver),
              (std::vector<std::string>{"antes vivo", "depois vivo confirmado", "antes bk",
                                        "depois bk confirmado", "removido confirmado confirmado"}));
    ado::Connection cn(connectionString);
    cn.Open();
    EXPECT_EQ(testing_support::CountRows(testing_support::RowsOfExamination(cn, "1001", "")), 0u);
    EXPECT_GT(testing_support::CountRows(testing_support::RowsOfExamination(cn, "1002", "")), 0u);
}

// Strict audit, asked for on the command line or in the configuration file,
// with no log to write to: nothing is removed, and the operator reads why.
TEST(AuditFaults, StrictAuditWithoutALogRemovesNothing) {
    TempDir dir;
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(dir.file("exames.db"));
    ado::Connection cn(connectionString);
    cn.Open();
    const auto before = testing_support::TakeSnapshot(cn);
    const std::vector<std::string> ways[] = {
        {"--auditoria-estrita", "--ini", IniFor(dir, connectionString)},
        {"--ini", IniFor(dir, connectionString, "AUDITORIA_ESTRITA=1\r\n")},
    };
    for (std::vector<std::string> args : ways) {
        SCOPED_TRACE(args.front());
        for (const char* arg : {"--confirmar", "--exame", "1001"}) args.push_back(arg);
        ::testing::internal::CaptureStderr();
        const int status = RunCommandLine(args, dir.file("sem-log"));
        const std::string err = ::testing::internal::GetCapturedStderr();
        ado::Connection& program = DE::Instance().Conexão_Atual();
        if (program.State() == ado::adStateOpen) program.Close();
        EXPECT_EQ(status, 2);
        EXPECT_NE(
            err.find("Não foi possível gravar o registro de auditoria no log do sistema. Com a auditoria "
                     "estrita, nada foi removido de 'Exame'."),
            std::string::npos)
            << err;
        EXPECT_EQ(testing_support::TakeSnapshot(cn), before);
    }
}

}  // namespace

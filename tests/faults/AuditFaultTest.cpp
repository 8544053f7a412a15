// The command line ended from outside while it removes: killed, asked to stop,
// its output gone, its log gone under strict audit. Every commit that
// happened can be read from the log afterwards, and nothing is committed that
// cannot.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
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

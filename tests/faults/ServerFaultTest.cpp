// Faults of the database server met for real, on the private MariaDB server:
// the server killed while a delete runs, the server restarted between
// start-up and the click, and the tool killed with its transaction open. What
// the database holds afterwards is read with the mariadb client, apart from
// the code under test.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

#include "ChildProcess.h"
#include "CommandLine.h"
#include "DE.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "FaultSupport.h"
#include "LoopbackProxy.h"
#include "MariaDbServer.h"
#include "OdbcShim.h"
#include "RemovalAudit.h"
#include "RemoveExamCommand.h"
#include "SystemLog.h"
#include "TempDir.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"
#include "qt/frmPrincipal.h"

namespace {

using namespace std::chrono_literals;
using faults::ChildProcess;
using faults::Shown;
using faults::ShownBy;
using testing_support::FakeToolkit;
using testing_support::MariaDbServer;

using Clock = std::chrono::steady_clock;

const std::string kTitle = "Atenção!";
const std::string kConnectionLost =
    "-2147024832 - A conexão com o banco de dados foi perdida. Feche o programa e abra-o novamente";
const std::string kTimedOut =
    "-2147217871 - Tempo limite esgotado: o banco de dados está bloqueado por outro usuário ou não respondeu "
    "a "
    "tempo";
const std::string kExistenceError = "Ao verificar se o exame existe ocorreu o seguinte erro:";

class ServerFaults : public ::testing::Test {
protected:
    void SetUp() override {
        // A test that killed the server and failed before restarting it must
        // not leave the next one without a server.
        server().Start();
        std::string load = "DROP DATABASE IF EXISTS " + server().database() + "; CREATE DATABASE " +
                           server().database() + " CHARACTER SET utf8mb4; USE " + server().database() + ";";
        for (const auto& file : {testing_support::ExamSchemaFile(), testing_support::ExamSeedFile()})
            for (const auto& statement : testing_support::SqlStatements(file)) load += statement;
        server().RunSql(load);
        number_ = server().RunSql(
            "SELECT e.Número_Exame FROM Exame e JOIN Exame_BK b ON b.Número_Exame = e.Número_Exame "
            "ORDER BY 1 LIMIT 1");
        while (!number_.empty() && number_.back() == '\n') number_.pop_back();
        ASSERT_FALSE(number_.empty());
    }
    void TearDown() override {
        faults::odbc::Disarm();
        server().Start();
    }

    static MariaDbServer& server() { return MariaDbServer::Shared(); }

    // Every row of every table of the database, as the mariadb client prints it.
    std::string ClientSnapshot() {
        const std::string tables = server().RunSql(
            "SELECT table_name FROM information_schema.tables WHERE table_schema = DATABASE() ORDER BY 1");
        std::string query;
        std::size_t start = 0;
        for (std::size_t end; (end = tables.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string table = tables.substr(start, end - start);
            query += "SELECT '" + table + "'; SELECT * FROM " + table + " ORDER BY 1;";
        }
        return server().RunSql(query);
    }

    // Whether another session can lock the rows of Exame_Etapa at once, that
    // is, no transaction holds them.
    bool RowsFree() {
        try {
            server().RunSql("SELECT COUNT(*) FROM Exame_Etapa FOR UPDATE NOWAIT");
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    }

    Shown Confirmation() const {
        return {kTitle, "Tem certeza que deseja remover o exame '" + number_ + "'"};
    }

    // Waits (at most 30 seconds) until no transaction holds the rows.
    bool WaitUntilRowsFree() {
        const auto deadline = Clock::now() + 30s;
        while (!RowsFree() && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
        return RowsFree();
    }

    std::string number_;
};

// Runs action on its own thread once the server shows a session in the
// state given (polled with the client, for at most ten seconds).
class WhenServerShows {
public:
    WhenServerShows(const std::string& state, std::function<void()> action)
        : thread_([this, state, action] {
              const auto deadline = Clock::now() + 10s;
              try {
                  while (Clock::now() < deadline) {
                      if (MariaDbServer::Shared().RunSql(
                              "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE STATE = '" + state +
                              "'") != "0\n") {
                          action();
                          done_ = true;
                          return;
                      }
                      std::this_thread::sleep_for(20ms);
                  }
              } catch (const std::exception& e) {
                  failure_ = e.what();
              }
          }) {}
    ~WhenServerShows() {
        if (thread_.joinable()) thread_.join();
    }
    // Waits for the thread; true when the action ran.
    bool Done() {
        if (thread_.joinable()) thread_.join();
        return done_;
    }
    const std::string& failure() const { return failure_; }

private:
    std::atomic<bool> done_{false};
    std::string failure_;
    std::thread thread_;
};

// The server dies (SIGKILL) while the live cascade's delete on Exame_Etapa
// runs, made slow by a trigger. The operator sees that table's failure at
// once; after the restart the server's recovery has undone the live deletes
// already done, and the twins were never reached.
TEST_F(ServerFaults, TheServerKilledMidCascadeLeavesTheExaminationWhole) {
    server().RunSql(
        "CREATE TRIGGER Exame_Etapa_Lenta BEFORE DELETE ON Exame_Etapa FOR EACH ROW SET @espera = SLEEP(5)");
    const std::string before = ClientSnapshot();
    ado::Connection cn(server().ConnectionString());
    cn.Open();
    FakeToolkit ui;

    WhenServerShows killer("User sleep", [] { MariaDbServer::Shared().Kill(); });
    const auto start = Clock::now();
    removal::cmdAtualizar_Click(number_, cn, ui);
    const auto took = Clock::now() - start;
    ASSERT_TRUE(killer.Done()) << killer.failure();

    const std::vector<Shown> expected = {
        Confirmation(), {kTitle, "Ao remover 'ExameEtapa', ocorreu o seguinte erro:\n\n" + kConnectionLost}};
    EXPECT_EQ(ShownBy(ui), expected);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].pointer, platform::vbHourglass);
    EXPECT_EQ(ui.MousePointer(), platform::vbDefault);
    EXPECT_LT(took, 5s) << "the failure was reported without waiting for the slow delete";

    server().Start();
    EXPECT_EQ(ClientSnapshot(), before);
}

// The server restarts after start-up has opened the program's connection.
// The click reports the existence check's failure, every time, and the
// program carries on (the connection is not opened again, as ever); nothing
// is removed.
TEST_F(ServerFaults, AConnectionLostAfterStartUpIsReportedAtEachClick) {
    faults::EnsureApplication();
    testing_support::TempDir windows;
    windows.write("Quelvomir.INI", "[Quelvomir]\r\nCONN_SERVER=" + server().ConnectionString() + "\r\n");
    std::optional<std::string> savedWindir;
    if (const char* value = std::getenv("WINDIR")) savedWindir = value;
    setenv("WINDIR", windows.path().c_str(), 1);
    FakeToolkit ui;
    frmPrincipal w(&ui);
    const bool loaded = w.Load();
    if (savedWindir)
        setenv("WINDIR", savedWindir->c_str(), 1);
    else
        unsetenv("WINDIR");
    ASSERT_TRUE(loaded) << (ui.calls.empty() ? "" : ui.calls[0].prompt);

    server().Kill();
    server().Start();
    const std::string before = ClientSnapshot();

    w.txtNumExame->setText(QString::fromStdString(number_));
    w.cmdAtualizar->click();
    w.cmdAtualizar->click();

    const Shown failure = {"atenção!",
                           "Ao verificar se o exame existe ocorreu o seguinte erro:" + kConnectionLost};
    EXPECT_EQ(ShownBy(ui), (std::vector<Shown>{failure, failure}));
    EXPECT_FALSE(ui.Ended());
    EXPECT_TRUE(ui.pointerHistory.empty());
    EXPECT_EQ(ClientSnapshot(), before);

    ado::Connection& program = DE::Instance().Conexão_Atual();
    try {
        if (program.State() == ado::adStateOpen) program.Close();
    } catch (const std::exception&) {
        // A connection whose server went away may fail to close; it is gone.
    }
}

// The tool is killed while the live cascade's failure message is on screen,
// its transaction open with twelve deletes done: the server sees the client
// go and rolls the transaction back.
TEST_F(ServerFaults, TheToolKilledMidTransactionIsRolledBackByTheServer) {
    server().RunSql(
        "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
        "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame));"
        "INSERT INTO Laudo_Externo VALUES (1, '" +
        number_ + "')");
    const std::string before = ClientSnapshot();
    const std::string connectionString = server().ConnectionString();

    ChildProcess tool([&](ChildProcess& self) {
        ado::Connection cn(connectionString);
        cn.Open();
        FakeToolkit ui;
        ui.onMessageBox = [&](const testing_support::MessageBoxCall& call) {
            if (call.prompt.rfind("Ao remover", 0) != 0) return;
            self.Say(call.prompt + '\x1E');
            self.Await();  // the operator never answers
        };
        removal::cmdAtualizar_Click(number_, cn, ui);
        return 0;
    });
    ASSERT_TRUE(tool.WaitFor("\x1E", 20s)) << tool.Output();
    EXPECT_EQ(tool.Output().rfind("Ao remover 'Exame', ocorreu o seguinte erro:\n\n-2147217873 - ", 0), 0u)
        << tool.Output();
    EXPECT_FALSE(RowsFree()) << "the deletes wait, locked, in the tool's transaction";
    tool.Kill();

    const auto deadline = Clock::now() + 10s;
    while (!RowsFree() && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(RowsFree()) << "the server rolled the transaction back";
    EXPECT_EQ(ClientSnapshot(), before);
}

// The program's connection drops between two clicks: killed on the server,
// or ended by the server after idling, with and without the driver's
// automatic reconnection asked for in the string. Nothing crashes and no
// silent new session (one without standard literals, where "100\3" reads
// as 1003) is used: each click reports the lost connection, and nothing is
// removed.
TEST_F(ServerFaults, AConnectionDroppedBetweenClicksIsReportedAndNothingIsRemoved) {
    const std::string before = ClientSnapshot();
    for (const std::string reconnect : {"", ";AUTO_RECONNECT=1", ";OPTION=4194304"}) {
        for (const bool kill : {true, false}) {
            SCOPED_TRACE((kill ? "KILL" : "wait_timeout") + reconnect);
            ado::Connection cn(server().ConnectionString() + reconnect);
            cn.Open();
            if (kill) {
                ado::Recordset id;
                id.Open("SELECT CONNECTION_ID()", cn);
                server().RunSql("KILL " + ado::ToText(id.Fields(0).Value()));
            } else {
                cn.Execute("SET SESSION wait_timeout = 1");
                std::this_thread::sleep_for(2500ms);
            }
            FakeToolkit ui;
            removal::cmdAtualizar_Click("100\\3", cn, ui);
            removal::cmdAtualizar_Click(number_, cn, ui);
            const Shown lost = {"atenção!", kExistenceError + kConnectionLost};
            EXPECT_EQ(ShownBy(ui), (std::vector<Shown>{lost, lost}));
        }
    }
    EXPECT_EQ(ClientSnapshot(), before);
}

// The driver is made to reconnect on its own (as one registered with
// automatic reconnection would), and the server ends the program's session
// while the confirmation is on screen, killed or idle too long. The driver's
// new session lacks the program's set-up: there "100\3" reads as 1003, and
// each statement would commit on its own. The removal finds the session
// replaced inside its transaction, before the first delete, and reports the
// lost connection; the next click too.
TEST_F(ServerFaults, ASessionReplacedBehindTheProgramsBackIsNeverUsed) {
    server().RunSql(
        "INSERT INTO Exame (Número_Exame, Nome_Paciente, Data_Exame) VALUES ('100\\\\3', 'Barra', "
        "'2023-05-12')");
    const std::string before = ClientSnapshot();
    for (const bool kill : {true, false}) {
        SCOPED_TRACE(kill ? "KILL" : "wait_timeout");
        faults::odbc::ForceAutoReconnect();
        ado::Connection cn(server().ConnectionString());
        cn.Open();
        ado::Recordset id;
        id.Open("SELECT CONNECTION_ID()", cn);
        const std::string session = ado::ToText(id.Fields(0).Value());
        if (!kill) cn.Execute("SET SESSION wait_timeout = 1");
        FakeToolkit ui;
        bool dropped = false;
        ui.onMessageBox = [&](const testing_support::MessageBoxCall& call) {
            if (call.prompt.rfind("Tem certeza", 0) != 0 || std::exchange(dropped, true)) return;
            if (kill)
                server().RunSql("KILL " + session);
            else
                std::this_thread::sleep_for(2500ms);
        };
        removal::RemovalReport report;
        removal::cmdAtualizar_Click("100\\3", cn, ui, &report);
        removal::cmdAtualizar_Click(number_, cn, ui);
        const std::vector<Shown> expected = {
            {kTitle, "Tem certeza que deseja remover o exame '100\\3'"},
            {kTitle, "Ao iniciar a transação para remover de 'Exame', ocorreu o seguinte erro:\n\n" +
                         kConnectionLost},
            {"atenção!", kExistenceError + kConnectionLost}};
        EXPECT_EQ(ShownBy(ui), expected);
        EXPECT_EQ(report.sets[0].failedAt, "inicio");
        EXPECT_EQ(ClientSnapshot(), before);
    }
}

// The server ignores the statement that asks for standard literals: the
// session keeps reading a backslash as an escape, where "100\3" is 1003. The
// connection is refused once it is set up, with the reason on standard error,
// and the command line removes nothing.
TEST_F(ServerFaults, ASessionWithoutStandardLiteralsIsRefused) {
    const std::string before = ClientSnapshot();
    testing_support::TempDir dir;
    dir.write("Quelvomir.INI", "[Quelvomir]\r\nCONN_SERVER=" + server().ConnectionString() + "\r\n");
    const std::string ini = dir.file("Quelvomir.INI");
    const char* argv[] = {"remover-exame", "--ini", ini.c_str(), "--confirmar", "--exame", "100\\3"};
    platform::LocalSyslog log(dir.file("sem-log"));
    std::istringstream in;
    std::ostringstream out, err;
    faults::odbc::SkipNextExecute("SET SESSION sql_mode");
    ::testing::internal::CaptureStderr();
    const int status = app::RunCommandLine(6, argv, {in, out, err, false}, &log);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, app::kExitFailure) << out.str() << err.str();
    EXPECT_NE(diagnostics.find("does not keep NO_BACKSLASH_ESCAPES"), std::string::npos) << diagnostics;
    EXPECT_EQ(ClientSnapshot(), before);
}

// The rollback after a failed statement fails. The session is closed rather
// than reused, so the server rolls the half-done set back; the next click
// reports the lost connection instead of committing that set with its own.
TEST_F(ServerFaults, AFailedRollbackClosesTheSessionAndLeavesNothingHalfDone) {
    server().RunSql(
        "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
        "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame));"
        "INSERT INTO Laudo_Externo VALUES (1, '" +
        number_ + "')");
    const std::string before = ClientSnapshot();
    ado::Connection cn(server().ConnectionString());
    cn.Open();
    FakeToolkit ui;
    faults::odbc::FailNextEndTran(SQL_ROLLBACK);
    removal::cmdAtualizar_Click(number_, cn, ui);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].prompt.rfind("Ao remover 'Exame', ocorreu o seguinte erro:\n\n-2147217873 - ", 0),
              0u);
    EXPECT_TRUE(WaitUntilRowsFree());

    removal::cmdAtualizar_Click("1004", cn, ui);
    ASSERT_EQ(ui.calls.size(), 3u);
    EXPECT_EQ(ShownBy(ui)[2], (Shown{"atenção!", kExistenceError + kConnectionLost}));
    EXPECT_EQ(ClientSnapshot(), before);
}

// The commit succeeds and putting autocommit back fails: the live tables'
// removal stands and is not reported as failed; the session is closed, so
// the twins' cascade reports the lost connection and sends nothing.
TEST_F(ServerFaults, ACommitIsReportedByWhatTheCommitDid) {
    ado::Connection cn(server().ConnectionString());
    cn.Open();
    FakeToolkit ui;
    faults::odbc::FailNextAutocommitOn();
    removal::cmdAtualizar_Click(number_, cn, ui);
    const std::vector<Shown> expected = {
        Confirmation(),
        {kTitle, "Ao iniciar a transação para remover de 'Exame_BK', ocorreu o seguinte erro:\n\n" +
                     kConnectionLost}};
    EXPECT_EQ(ShownBy(ui), expected);
    EXPECT_EQ(server().RunSql("SELECT COUNT(*) FROM Exame WHERE Número_Exame = '" + number_ + "'"), "0\n");
    EXPECT_EQ(server().RunSql("SELECT COUNT(*) FROM Exame_Etapa WHERE Número_Exame = '" + number_ + "'"),
              "0\n");
    EXPECT_EQ(server().RunSql("SELECT COUNT(*) FROM Exame_BK WHERE Número_Exame = '" + number_ + "'"), "1\n");
}

// The reply to the live tables' commit is lost (the driver reports the
// connection gone, 08S01), after the commit reached the server or before.
// Whether it was committed is found out on a new connection and told as it
// is: committed, the removal goes on (and meets the lost connection at the
// twins); not committed, the commit's failure. When the new connection
// cannot be opened, or the server still holds the old session (whose
// transaction may yet end either way) past the command time-out, the
// operator is told that nobody knows and that they must check.
TEST_F(ServerFaults, ACommitWhoseReplyIsLostIsFoundOutOnANewConnection) {
    const auto unknown = [](const std::string& number) {
        return "Não se sabe se o exame foi removido de 'Exame': a resposta do banco de dados à confirmação "
               "não chegou e não foi possível verificar.\n\nVerifique no banco de dados se o exame '" +
               number + "' ainda está em 'Exame' antes de tentar novamente.\n\n" + kConnectionLost;
    };
    struct Case {
        const char* name;
        std::string number;
        bool reachesServer;
        bool canLook;
        bool sessionStays;
        Shown told;
        bool liveRemoved;
        std::string_view liveEnd;
        std::string_view twinsEnd;
    } cases[] = {
        {"not committed",
         "1001",
         false,
         true,
         false,
         {kTitle, "Ao confirmar a remoção em 'Exame', ocorreu o seguinte erro:\n\n" + kConnectionLost},
         false,
         "desfeito_verificado",
         "nao_executado"},
        {"committed",
         "1001",
         true,
         true,
         false,
         {kTitle, "Ao iniciar a transação para remover de 'Exame_BK', ocorreu o seguinte erro:\n\n" +
                      kConnectionLost},
         true,
         "confirmado_verificado",
         "desfeito"},
        {"unknown: no new connection",
         "1002",
         true,
         false,
         false,
         {kTitle, unknown("1002")},
         true,
         "incerto",
         "nao_executado"},
        {"unknown: the old session stays",
         "1003",
         false,
         true,
         true,
         {kTitle, unknown("1003")},
         false,
         "incerto",
         "nao_executado"},
    };
    const auto count = [&](const std::string& table, const std::string& number) {
        return server().RunSql("SELECT COUNT(*) FROM " + table + " WHERE Número_Exame = '" + number + "'");
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stages = count("Exame_Etapa", c.number), twins = count("Exame_BK", c.number);
        ado::Connection cn(server().ConnectionString() + ";Command Timeout=2");
        cn.Open();
        FakeToolkit ui;
        faults::odbc::LoseNextCommitReply(c.reachesServer);
        if (!c.canLook) faults::odbc::FailNextConnect();
        if (c.sessionStays) faults::odbc::KeepNextSessionOnDisconnect();
        removal::RemovalReport report;
        const auto start = Clock::now();
        removal::cmdAtualizar_Click(c.number, cn, ui, &report);
        const auto took = Clock::now() - start;
        faults::odbc::Disarm();
        if (c.sessionStays) {
            EXPECT_GE(took, 2s) << "the old session was waited for";
            server().RunSql("KILL " + cn.SessionIdentity());
            EXPECT_TRUE(WaitUntilRowsFree());
        }

        const std::vector<Shown> expected = {
            {kTitle, "Tem certeza que deseja remover o exame '" + c.number + "'"}, c.told};
        EXPECT_EQ(ShownBy(ui), expected);
        EXPECT_EQ(removal::SetEndToken(report.sets[0].end), c.liveEnd);
        EXPECT_EQ(removal::SetEndToken(report.sets[1].end), c.twinsEnd);
        EXPECT_EQ(count("Exame", c.number), c.liveRemoved ? "0\n" : "1\n");
        EXPECT_EQ(count("Exame_Etapa", c.number), c.liveRemoved ? "0\n" : stages);
        EXPECT_EQ(count("Exame_BK", c.number), twins);
    }
}

// The reply to a group's live commit is lost: one look on a new connection
// settles it for every examination of the group, and each is reported and
// left as that look found the group.
TEST_F(ServerFaults, AGroupCommitWhoseReplyIsLostIsFoundOutForTheWholeGroup) {
    const std::vector<std::string> numbers = {"1001", "1002", "1003"};
    for (const bool reachesServer : {false, true}) {
        SCOPED_TRACE(reachesServer);
        ado::Connection cn(server().ConnectionString() + ";Command Timeout=2");
        cn.Open();
        FakeToolkit ui;
        std::vector<removal::GroupMember> members(numbers.size());
        for (std::size_t i = 0; i < numbers.size(); ++i) members[i].numeroExame = numbers[i];
        faults::odbc::LoseNextCommitReply(reachesServer);
        removal::RemoveGroup(members, cn, cn.Savepoints(), ui, [](std::size_t) {});
        faults::odbc::Disarm();
        for (const auto& member : members) {
            SCOPED_TRACE(member.numeroExame);
            EXPECT_EQ(removal::SetEndToken(member.report.sets[0].end),
                      reachesServer ? "confirmado_verificado" : "desfeito_verificado");
            // The lost session leaves the twins' transaction unable to begin.
            EXPECT_EQ(removal::SetEndToken(member.report.sets[1].end),
                      reachesServer ? "desfeito" : "nao_executado");
            EXPECT_EQ(member.report.outcome, removal::RemovalReport::Outcome::Failed);
            EXPECT_EQ(server().RunSql("SELECT COUNT(*) FROM Exame WHERE Número_Exame = '" +
                                      member.numeroExame + "'"),
                      reachesServer ? "0\n" : "1\n");
        }
    }
}

// Something below the database class throws (here a failed allocation in the
// third delete): the cascade still reports the table and rolls back.
TEST_F(ServerFaults, AnyFailureInsideTheCascadeIsReportedAndRolledBack) {
    const std::string before = ClientSnapshot();
    ado::Connection cn(server().ConnectionString());
    cn.Open();
    FakeToolkit ui;
    // The transaction's first statement asks the server for its session's
    // number; the third delete is the fourth statement.
    ui.onMessageBox = [](const testing_support::MessageBoxCall& call) {
        if (call.prompt.rfind("Tem certeza", 0) == 0) faults::odbc::ThrowOnExecute(4);
    };
    EXPECT_NO_THROW(removal::cmdAtualizar_Click(number_, cn, ui));
    const std::vector<Shown> expected = {
        Confirmation(),
        {kTitle,
         "Ao remover 'ExameImagem', ocorreu o seguinte erro:\n\n-2147024882 - Memória insuficiente para "
         "concluir a operação"}};
    EXPECT_EQ(ShownBy(ui), expected);
    EXPECT_TRUE(RowsFree());
    EXPECT_EQ(ClientSnapshot(), before);
}

// The network stops forwarding after start-up: the click does not hang but
// reports the time-out (the string asks for short ones), the next click the
// lost connection; opening through the stalled network gives up as well.
TEST_F(ServerFaults, ANetworkThatStopsForwardingTimesOut) {
    testing_support::LoopbackProxy proxy(server().port());
    const std::string through =
        server().ConnectionString(proxy.port()) + ";Connect Timeout=2;Command Timeout=2";
    const std::string before = ClientSnapshot();
    ado::Connection cn(through);
    cn.Open();
    proxy.Stall();

    FakeToolkit ui;
    const auto start = Clock::now();
    removal::cmdAtualizar_Click(number_, cn, ui);
    removal::cmdAtualizar_Click(number_, cn, ui);
    EXPECT_LT(Clock::now() - start, 20s);
    const std::vector<Shown> expected = {{"atenção!", kExistenceError + kTimedOut},
                                         {"atenção!", kExistenceError + kConnectionLost}};
    EXPECT_EQ(ShownBy(ui), expected);

    ado::Connection again(through);
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(again.Open(), ado::AdoError);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ClientSnapshot(), before);
}

// A delete that runs past the command time-out inside the cascade: the
// operator reads the time-out and the table, and the set is rolled back.
TEST_F(ServerFaults, ACommandThatTimesOutInACascadeRollsTheSetBack) {
    server().RunSql(
        "CREATE TRIGGER Exame_Etapa_Lenta BEFORE DELETE ON Exame_Etapa FOR EACH ROW SET @espera = SLEEP(2)");
    const std::string before = ClientSnapshot();
    ado::Connection cn(server().ConnectionString() + ";Command Timeout=1");
    cn.Open();
    FakeToolkit ui;
    removal::cmdAtualizar_Click(number_, cn, ui);
    const std::vector<Shown> expected = {
        Confirmation(), {kTitle, "Ao remover 'ExameEtapa', ocorreu o seguinte erro:\n\n" + kTimedOut}};
    EXPECT_EQ(ShownBy(ui), expected);
    EXPECT_TRUE(WaitUntilRowsFree());
    EXPECT_EQ(ClientSnapshot(), before);
}

}  // namespace

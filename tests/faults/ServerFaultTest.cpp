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
#include <thread>

#include "ChildProcess.h"
#include "DE.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "FaultSupport.h"
#include "MariaDbServer.h"
#include "RemoveExamCommand.h"
#include "TempDir.h"
#include "ado/Connection.h"
#include "frmPrincipal.h"

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
    "-2147217770 - Não foi possível estabelecer a conexão com o banco de dados";

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
    void TearDown() override { server().Start(); }

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

}  // namespace

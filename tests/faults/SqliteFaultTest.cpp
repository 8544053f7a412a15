// Faults of a SQLite database met for real: another process holding a lock,
// no room left on the disk, and the tool itself killed with its transaction
// open. Whatever happens, each set of tables keeps the examination whole or
// loses it whole, the file stays a sound database, and the operator is told.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "FaultSupport.h"
#include "RemoveExamCommand.h"
#include "TempDir.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"

namespace {

using namespace std::chrono_literals;
using faults::ChildProcess;
using faults::Decode;
using faults::Encode;
using faults::IntegrityCheck;
using faults::Shown;
using faults::ShownBy;
using testing_support::FakeToolkit;
using testing_support::Snapshot;

using Clock = std::chrono::steady_clock;

const std::string kTitle = "Atenção!";
const std::string kLocked =
    "-2147217871 - Tempo limite esgotado: o banco de dados está bloqueado por outro usuário ou não "
    "respondeu a tempo";
const std::string kDiskFull = "-2147286928 - Não há espaço suficiente no disco para concluir a operação";
const std::string kIoError = "-2147467259 - Erro não especificado";
const std::string kSuccess = "Exame removido com sucesso.";

Shown Confirmation(const std::string& number) {
    return {kTitle, "Tem certeza que deseja remover o exame '" + number + "'"};
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// One examination database in a file of its own.
class SqliteFaults : public ::testing::Test {
protected:
    void Create(const std::string& name) {
        path_ = dir_.file(name);
        connectionString_ = testing_support::CreateSqliteExamDatabase(path_);
        ado::Connection cn(connectionString_);
        cn.Open();
        number_ = testing_support::FindSeedNumbers(cn).both.front();
    }

    void Execute(const std::string& sql) {
        ado::Connection cn(connectionString_);
        cn.Open();
        cn.Execute(sql);
    }

    Snapshot Snap() {
        ado::Connection cn(connectionString_);
        cn.Open();
        return testing_support::TakeSnapshot(cn);
    }

    Snapshot Owned(const std::string& suffix) {
        ado::Connection cn(connectionString_);
        cn.Open();
        return testing_support::RowsOfExamination(cn, number_, suffix);
    }

    testing_support::TempDir dir_;
    std::string path_;
    std::string connectionString_;
    std::string number_;
};

// Another process holds a lock on the file while the operator removes. The
// provider waits for it up to the busy time-out (30 s unless the connection
// string says less); a lock still held then fails the step that needed it and
// nothing changes, a lock released in time lets the removal through.
TEST_F(SqliteFaults, ALockHeldByAnotherProcessIsWaitedForThenReported) {
    const std::string writer = "BEGIN IMMEDIATE; UPDATE Exame SET Situação = Situação";
    const std::string exclusive = "BEGIN EXCLUSIVE; UPDATE Exame SET Situação = Situação";
    const std::string reader = "BEGIN; SELECT count(*) FROM Exame";
    constexpr int kUntilTold = -1;
    struct Case {
        const char* name;
        std::string take;
        int holdMs;
        std::string connectionOptions;
        // What follows the confirmation (or replaces it when empty).
        std::vector<Shown> after;
        bool removed;
    } cases[] = {
        {"writer holds past the wait",
         writer,
         kUntilTold,
         ";Busy Timeout=400",
         {{kTitle, "Ao iniciar a transação para remover de 'Exame', ocorreu o seguinte erro:\n\n" + kLocked}},
         false},
        {"reader holds past the wait: the commit cannot take the file",
         reader,
         kUntilTold,
         ";Busy Timeout=400",
         {{kTitle, "Ao confirmar a remoção em 'Exame', ocorreu o seguinte erro:\n\n" + kLocked}},
         false},
        {"exclusive lock past the wait: not even the existence check can read",
         exclusive,
         kUntilTold,
         ";Busy Timeout=400",
         {},
         false},
        {"writer lets go within the default wait", writer, 700, "", {{kTitle, kSuccess}}, true},
        {"reader lets go within the default wait", reader, 700, "", {{kTitle, kSuccess}}, true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Create("bloqueio-" + std::to_string(++index) + ".db");
        const Snapshot before = Snap();
        const Snapshot ownedLive = Owned("");
        const Snapshot ownedTwins = Owned("_BK");

        // Opened first: opening reads the file, which an exclusive lock forbids.
        ado::Connection cn(connectionString_ + c.connectionOptions);
        cn.Open();
        ChildProcess holder([&](ChildProcess& self) {
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 1;
            if (sqlite3_exec(db, c.take.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return 2;
            self.Say("held\n");
            if (c.holdMs == kUntilTold)
                self.Await();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(c.holdMs));
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            return 0;
        });
        ASSERT_TRUE(holder.WaitFor("held", 10s)) << holder.Output();

        FakeToolkit ui;
        const auto start = Clock::now();
        removal::cmdAtualizar_Click(number_, cn, ui);
        const auto waited = Clock::now() - start;
        holder.Tell();
        EXPECT_EQ(holder.Finish(10s), 0);
        cn.Close();

        std::vector<Shown> expected;
        if (c.after.empty())
            expected = {{"atenção!", "Ao verificar se o exame existe ocorreu o seguinte erro:" + kLocked}};
        else
            expected = {Confirmation(number_), c.after.front()};
        EXPECT_EQ(ShownBy(ui), expected);
        EXPECT_EQ(ui.MousePointer(), platform::vbDefault);
        EXPECT_GE(waited, 350ms) << "the lock was waited for";
        EXPECT_LT(waited, 8s) << "the connection's wait was honoured";
        EXPECT_EQ(Snap(), c.removed ? testing_support::Without(testing_support::Without(before, ownedLive),
                                                               ownedTwins)
                                    : before);
        EXPECT_EQ(IntegrityCheck(path_), "ok");
    }
}

// The file may not grow: the tool runs in a child process under a file-size
// limit, as on a disk with no room left. Where the removal needs room (the
// rollback journal before the first delete, or new pages at commit when a
// trigger of the database records the removal) it fails, the operator is
// told that the disk is full, and the file is left as it was.
TEST_F(SqliteFaults, NoRoomOnTheDiskFailsTheRemovalAndKeepsTheFileSound) {
    struct Case {
        const char* name;
        bool auditTrigger;
        // The limit, from the file's size before the removal.
        std::function<rlim_t(std::uintmax_t)> limit;
        Shown failure;
    } cases[] = {
        {"no room for the rollback journal",
         false,
         [](std::uintmax_t) { return rlim_t{1024}; },
         {kTitle, "Ao remover 'Apliques', ocorreu o seguinte erro:\n\n" + kDiskFull}},
        {"no room for the database to grow at commit",
         true,
         [](std::uintmax_t size) { return static_cast<rlim_t>(size); },
         // SQLite reports a write refused at commit as a plain I/O error.
         {kTitle, "Ao confirmar a remoção em 'Exame', ocorreu o seguinte erro:\n\n" + kIoError}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Create("disco-" + std::to_string(++index) + ".db");
        if (c.auditTrigger) {
            // A megabyte per removal: more than the free pages the deletes leave.
            Execute("CREATE TABLE Auditoria_Remoção (Número_Exame VARCHAR(20), Conteúdo BLOB)");
            Execute(
                "CREATE TRIGGER Exame_Removido AFTER DELETE ON Exame BEGIN "
                "INSERT INTO Auditoria_Remoção VALUES (old.Número_Exame, zeroblob(1048576)); END");
        }
        const Snapshot before = Snap();
        const rlim_t limit = c.limit(std::filesystem::file_size(path_));

        ChildProcess tool([&](ChildProcess& self) {
            const rlimit bound{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &bound) != 0) return 1;
            signal(SIGXFSZ, SIG_IGN);
            ado::Connection cn(connectionString_);
            cn.Open();
            FakeToolkit ui;
            removal::cmdAtualizar_Click(number_, cn, ui);
            self.Say(Encode(ShownBy(ui)));
            return ui.MousePointer() == platform::vbDefault ? 0 : 3;
        });
        EXPECT_EQ(tool.Finish(20s), 0);

        EXPECT_EQ(Decode(tool.Output()), (std::vector<Shown>{Confirmation(number_), c.failure}));
        EXPECT_FALSE(std::filesystem::exists(path_ + "-journal")) << "the tool rolled back itself";
        EXPECT_EQ(IntegrityCheck(path_), "ok");
        EXPECT_EQ(Snap(), before);
        if (c.auditTrigger) {
            ado::Connection cn(connectionString_);
            cn.Open();
            ado::Recordset rs;
            rs.Open("SELECT count(*) FROM Auditoria_Remoção", cn);
            EXPECT_EQ(ado::ToInteger(rs.Fields(0).Value()), 0);
        }
    }
}

// The tool is killed (power cut, task manager) while a cascade's failure
// message is on screen: its transaction is open with twelve of the thirteen
// deletes done, some of them already written into the file (a one-page cache
// makes SQLite spill them, as a large database would). The next program to
// open the file rolls the hot journal back.
TEST_F(SqliteFaults, TheToolKilledMidTransactionLeavesEachSetWholeOrEmpty) {
    struct Case {
        const char* name;
        std::string suffix;   // the set whose last delete is held back
        bool liveRemoved;     // the live set was committed before the kill
        std::string failure;  // the message on screen when the tool dies
    } cases[] = {
        {"killed during the live cascade", "", false, "Ao remover 'Exame', ocorreu o seguinte erro:\n\n"},
        {"killed during the twins' cascade", "_BK", true,
         "Ao remover 'Exame_BK', ocorreu o seguinte erro:\n\n"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Create("morte-" + std::to_string(++index) + ".db");
        // A table outside the thirteen still refers to the examination, so the
        // set's last delete fails and its message comes up.
        Execute("CREATE TABLE Laudo_Externo" + c.suffix +
                " (Id INTEGER PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL REFERENCES Exame" + c.suffix +
                " (Número_Exame))");
        Execute("INSERT INTO Laudo_Externo" + c.suffix + " VALUES (1, '" + number_ + "')");
        const Snapshot before = Snap();
        const Snapshot ownedLive = Owned("");

        ChildProcess tool([&](ChildProcess& self) {
            ado::Connection cn(connectionString_);
            cn.Open();
            cn.Execute("PRAGMA cache_size = 1");
            FakeToolkit ui;
            ui.onMessageBox = [&](const testing_support::MessageBoxCall& call) {
                if (call.prompt.rfind("Ao remover", 0) != 0) return;
                self.Say(call.prompt + '\x1E');
                self.Await();  // the operator never answers
            };
            removal::cmdAtualizar_Click(number_, cn, ui);
            self.Say("returned");
            return 0;
        });
        ASSERT_TRUE(tool.WaitFor("\x1E", 20s)) << tool.Output();
        EXPECT_EQ(tool.Output().rfind(c.failure, 0), 0u) << tool.Output();
        ASSERT_TRUE(std::filesystem::exists(path_ + "-journal")) << "the transaction is open";
        EXPECT_GT(std::filesystem::file_size(path_ + "-journal"), 0u);
        tool.Kill();

        EXPECT_TRUE(std::filesystem::exists(path_ + "-journal")) << "a hot journal is left";
        const std::string bytesAtKill = readBytes(path_);
        EXPECT_EQ(IntegrityCheck(path_), "ok");
        EXPECT_FALSE(std::filesystem::exists(path_ + "-journal")) << "the journal was rolled back";
        EXPECT_NE(readBytes(path_), bytesAtKill) << "the deletes had reached the file and were undone";
        EXPECT_EQ(Snap(), c.liveRemoved ? testing_support::Without(before, ownedLive) : before);
    }
}

}  // namespace

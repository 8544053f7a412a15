// The remove command end to end on a real database: what the operator sees,
// and that exactly the examination's rows are gone and nothing else.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "CascadeDelete.h"
#include "ExamBackends.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "RemoveExamCommand.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"

namespace {

using namespace testing_support;
using platform::vbCancel;
using platform::vbDefault;
using platform::vbHourglass;
using platform::vbOK;

const std::string kTitle = "Atenção!";
constexpr const char* kNoTableText = "-2147217865 - A tabela não existe";

class RemovalSuite : public ::testing::TestWithParam<BackendFactory> {
protected:
    void SetUp() override { backend_ = GetParam()(); }

    void Open(Twins twins = Twins::Included) {
        twins_ = twins;
        connectionString_ = backend_->Fresh(twins);
        connection_ = std::make_unique<ado::Connection>(connectionString_);
        connection_->Open();
    }

    ado::Connection& cn() { return *connection_; }
    Snapshot Snap() { return TakeSnapshot(cn(), twins_); }

    // Runs the command the way the window does, answering OK to everything.
    void Remove(const std::string& number) { removal::cmdAtualizar_Click(number, cn(), ui_); }

    std::vector<std::string> Prompts() const {
        std::vector<std::string> prompts;
        for (const auto& call : ui_.calls) prompts.push_back(call.prompt);
        return prompts;
    }

    // The rows of number in both sets, before anything is removed.
    Snapshot Owned(const std::string& number) {
        Snapshot owned = RowsOfExamination(cn(), number, "");
        if (twins_ == Twins::Included)
            for (auto& [table, rows] : RowsOfExamination(cn(), number, "_BK")) owned[table] = rows;
        return owned;
    }

    std::unique_ptr<ExamBackend> backend_;
    std::unique_ptr<ado::Connection> connection_;
    std::string connectionString_;
    Twins twins_ = Twins::Included;
    FakeToolkit ui_;
};

std::string Confirmation(const std::string& number) {
    return "Tem certeza que deseja remover o exame '" + number + "'";
}

TEST_P(RemovalSuite, RemovesExactlyTheExaminationWhereverItIs) {
    Open();
    const SeedNumbers seed = FindSeedNumbers(cn());
    ASSERT_FALSE(seed.liveOnly.empty());
    ASSERT_FALSE(seed.twinsOnly.empty());
    ASSERT_FALSE(seed.both.empty());

    for (const auto& number : {seed.liveOnly.front(), seed.twinsOnly.front(), seed.both.front()}) {
        SCOPED_TRACE("examination " + number);
        ui_.calls.clear();
        const Snapshot before = Snap();
        const Snapshot owned = Owned(number);
        ASSERT_GT(CountRows(owned), 1u) << "the seed gives every examination dependent rows";

        Remove(number);

        EXPECT_EQ(Prompts(), (std::vector<std::string>{Confirmation(number), "Exame removido com sucesso."}));
        EXPECT_EQ(ui_.calls.back().title, kTitle);
        EXPECT_EQ(ui_.calls.back().pointer, vbDefault);
        EXPECT_EQ(ui_.calls.front().buttons, platform::vbOKCancel);
        EXPECT_EQ(Snap(), Without(before, owned));
    }
}

TEST_P(RemovalSuite, NothingChangesWithoutAConfirmedExistingNumber) {
    Open();
    const SeedNumbers seed = FindSeedNumbers(cn());
    const Snapshot before = Snap();
    struct Case {
        std::string typed;
        int answer;
        std::vector<std::string> prompts;
    };
    const std::string existing = seed.both.front();
    const Case cases[] = {
        {"", vbOK, {"Digite o número de exame que deseja remover."}},
        {"   ", vbOK, {"Exame não localizado."}},
        {"no-such-exam", vbOK, {"Exame não localizado."}},
        {" " + existing + " ", vbOK, {"Exame não localizado."}},
        {existing, vbCancel, {Confirmation(existing)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("typed '" + c.typed + "'");
        ui_ = FakeToolkit();
        ui_.AnswerNext(c.answer);
        Remove(c.typed);
        EXPECT_EQ(Prompts(), c.prompts);
        for (const auto& call : ui_.calls) EXPECT_EQ(call.title, kTitle);
        EXPECT_TRUE(ui_.pointerHistory.empty());
        EXPECT_EQ(Snap(), before);
    }
}

TEST_P(RemovalSuite, WithoutTwinsTheLiveRemovalStaysCommittedAndTheTwinFailureIsNamed) {
    Open(Twins::Omitted);
    ado::Recordset first;
    first.Open("SELECT Número_Exame FROM Exame ORDER BY Número_Exame", cn());
    const std::string number = ado::ToText(first.Fields(0).Value());
    const Snapshot before = Snap();
    const Snapshot owned = RowsOfExamination(cn(), number, "");

    Remove(number);

    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[1].prompt,
              std::string("Ao remover 'Apliques_BK', ocorreu o seguinte erro:\n\n") + kNoTableText);
    EXPECT_EQ(ui_.calls[1].title, kTitle);
    EXPECT_EQ(ui_.calls[1].pointer, vbHourglass) << "the hourglass stays up while the cascade's error shows";
    EXPECT_EQ(ui_.MousePointer(), vbDefault);
    EXPECT_EQ(Snap(), Without(before, owned));

    // A number that is not in Exame is then looked for in the missing twin.
    ui_ = FakeToolkit();
    Remove("no-such-exam");
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].prompt,
              std::string("Ao verificar se o exame existe ocorreu o seguinte erro:") + kNoTableText);
    EXPECT_EQ(ui_.calls[0].title, "atenção!");
}

TEST_P(RemovalSuite, AFailureAtTheLastStatementRollsBackTheWholeSet) {
    Open();
    const std::string number = FindSeedNumbers(cn()).both.front();
    // A table outside the thirteen still refers to the examination.
    cn().Execute(
        "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
        "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame))");
    cn().Execute("INSERT INTO Laudo_Externo (Id, Número_Exame) VALUES (1, '" + number + "')");
    const Snapshot before = Snap();

    Remove(number);

    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[1].prompt.rfind("Ao remover 'Exame', ocorreu o seguinte erro:\n\n-2147217873 - ", 0),
              0u)
        << ui_.calls[1].prompt;
    EXPECT_EQ(ui_.calls[1].pointer, vbHourglass);
    EXPECT_EQ(Snap(), before) << "statements 1 to 12 are rolled back and the twins are untouched";
}

TEST_P(RemovalSuite, ANumberHoldingQuotesIsRemovedAsTypedAndAloneWhenItExists) {
    Open();
    const std::string number = "O'Neil' OR '1'='1";
    for (const std::string suffix : {"", "_BK"}) {
        cn().Execute("INSERT INTO Exame" + suffix +
                     " (Número_Exame, Nome_Paciente, Data_Exame) VALUES ('O''Neil'' OR ''1''=''1', 'Teste', "
                     "'2024-01-02')");
        cn().Execute("INSERT INTO Exame_Página" + suffix +
                     " (ID_Página, Número_Exame, Número_Página) VALUES (9999, 'O''Neil'' OR ''1''=''1', 1)");
    }
    const Snapshot before = Snap();
    const Snapshot owned = Owned(number);
    ASSERT_EQ(CountRows(owned), 4u);

    Remove(number);

    EXPECT_EQ(Prompts(), (std::vector<std::string>{Confirmation(number), "Exame removido com sucesso."}));
    EXPECT_EQ(Snap(), Without(before, owned));
}

TEST_P(RemovalSuite, TheTwinRemovalIsRetriedWhenTheExaminationIsLeftInTheTwins) {
    Open();
    const std::string number = FindSeedNumbers(cn()).both.front();
    // Something outside the thirteen tables holds the twin back.
    cn().Execute(
        "CREATE TABLE Laudo_Externo_BK (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
        "FOREIGN KEY (Número_Exame) REFERENCES Exame_BK (Número_Exame))");
    cn().Execute("INSERT INTO Laudo_Externo_BK (Id, Número_Exame) VALUES (1, '" + number + "')");
    const Snapshot before = Snap();
    const Snapshot ownedLive = RowsOfExamination(cn(), number, "");

    Remove(number);
    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[1].prompt.rfind("Ao remover 'Exame_BK', ocorreu o seguinte erro:\n\n", 0), 0u);
    EXPECT_EQ(Snap(), Without(before, ownedLive)) << "live removal committed, twins rolled back";

    // Released, the same number is found in the twins and removed from them.
    cn().Execute("DELETE FROM Laudo_Externo_BK");
    const Snapshot ownedTwins = RowsOfExamination(cn(), number, "_BK");
    ui_ = FakeToolkit();
    Remove(number);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{Confirmation(number), "Exame removido com sucesso."}));
    EXPECT_EQ(Snap(), Without(Without(before, ownedLive), ownedTwins));
}

TEST_P(RemovalSuite, ACascadeThatCannotBeginSendsNothing) {
    if (!backend_->BeginTakesWriteLock()) GTEST_SKIP() << "a begin cannot fail for a lock on this database";
    Open();
    const std::string number = FindSeedNumbers(cn()).both.front();
    const Snapshot before = Snap();

    // Another session holds the write lock; ours waits briefly, then gives up.
    ado::Connection holder(connectionString_);
    holder.Open();
    holder.BeginTrans();
    holder.Execute("DELETE FROM Bethesda WHERE 1 = 0");
    holder.Execute("UPDATE Exame SET Número_Exame = Número_Exame WHERE Número_Exame = 'lock'");
    ado::Connection impatient(backend_->WithShortLockWait(connectionString_));
    impatient.Open();

    EXPECT_FALSE(removal::Deleta_Exame_em_Cascata(impatient, number, "", ui_));
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].prompt.rfind(
                  "Ao iniciar a transação para remover de 'Exame', ocorreu o seguinte erro:\n\n"
                  "-2147217871 - ",
                  0),
              0u)
        << ui_.calls[0].prompt;
    EXPECT_EQ(ui_.calls[0].title, kTitle);
    EXPECT_FALSE(impatient.InTransaction());

    holder.RollbackTrans();
    EXPECT_EQ(Snap(), before);
}

TEST_P(RemovalSuite, AFailedCommitIsReportedAndNothingIsRemoved) {
    if (!backend_->HasDeferredConstraints())
        GTEST_SKIP() << "no constraint checked at commit on this database";
    Open();
    const std::string number = FindSeedNumbers(cn()).both.front();
    cn().Execute(
        "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
        "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame) DEFERRABLE INITIALLY DEFERRED)");
    cn().Execute("INSERT INTO Laudo_Externo (Id, Número_Exame) VALUES (1, '" + number + "')");
    const Snapshot before = Snap();

    Remove(number);

    ASSERT_EQ(ui_.calls.size(), 2u) << "no success message after a failed commit";
    EXPECT_EQ(ui_.calls[1].prompt.rfind("Ao confirmar a remoção em 'Exame', ocorreu o seguinte erro:\n\n"
                                        "-2147217873 - ",
                                        0),
              0u)
        << ui_.calls[1].prompt;
    EXPECT_EQ(ui_.calls[1].pointer, vbHourglass);
    EXPECT_EQ(ui_.MousePointer(), vbDefault);
    EXPECT_FALSE(cn().InTransaction());
    EXPECT_EQ(Snap(), before) << "live rows back, twins never touched";
}

TEST_P(RemovalSuite, LegacyCascadeTouchesSixTablesAndCarriesOnAfterAFailure) {
    Open();
    const std::string number = FindSeedNumbers(cn()).both.front();
    const Snapshot before = Snap();
    Snapshot removedLive;
    for (auto& [table, rows] : RowsOfExamination(cn(), number, ""))
        if (table == "Aplique" || table == "Exame_Imagem" || table == "Exame_Página" ||
            table == "Exame_Descritivo" || table == "Bethesda" || table == "Exame")
            removedLive[table] = rows;

    removal::Deleta_Exame_em_Cascata_old(cn(), number, "", ui_);
    EXPECT_TRUE(ui_.calls.empty());
    EXPECT_EQ(Snap(), Without(before, removedLive));

    // Without the twin of Bethesda, its statement fails and the next one runs.
    cn().Execute("DROP TABLE Bethesda_BK");
    removal::Deleta_Exame_em_Cascata_old(cn(), number, "_BK", ui_);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(
        ui_.calls[0].prompt,
        std::string("Ao remover o exame da tabela Bethesda_BK ocorreu o seguinte erro: ") + kNoTableText);
    EXPECT_EQ(ui_.calls[0].title, kTitle);
    ado::Recordset rs;
    rs.Open("select count(*) from Exame_BK Where Número_Exame = '" + number + "'", cn());
    EXPECT_EQ(ado::ToInteger(rs.Fields(0).Value()), 0);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RemovalSuite, ::testing::Values(SqliteExamBackend()), DatabaseName);
INSTANTIATE_TEST_SUITE_P(MariaDb, RemovalSuite, ::testing::Values(MariaDbExamBackend()), DatabaseName);

}  // namespace

// Copies of the removed rows: the file written before each commit, exactly
// the rows removed, owner-only; a copy that cannot be written or that no
// longer matches what the statements removed rolls the set back.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Digest.h"
#include "DurableFile.h"
#include "ExamBackends.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "RemovalPreview.h"
#include "RemoveExamCommand.h"
#include "RemovalAudit.h"
#include "RemovedRowCopy.h"
#include "RestoreCopy.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"

namespace {

using namespace testing_support;
using nlohmann::ordered_json;

class CopySuite : public ::testing::TestWithParam<BackendFactory> {
protected:
    void SetUp() override {
        backend_ = GetParam()();
        connection_ = std::make_unique<ado::Connection>(backend_->Fresh(Twins::Included));
        connection_->Open();
        sqlite_ = connection_->ConnectionString().find("SQLite") != std::string::npos;
    }
    ado::Connection& cn() { return *connection_; }
    removal::RemovalReport Remove(const std::string& number, const std::string& folder) {
        removal::RemovalReport report;
        removal::cmdAtualizar_Click(number, cn(), ui_, &report, nullptr, folder);
        return report;
    }
    // Hostile values in every kind of column the copy must keep exactly.
    void AddHostileColumns(const std::string& number) {
        for (const char* suffix : {"", "_BK"}) {
            const std::string table = std::string("Exame_Descritivo") + suffix;
            cn().Execute("ALTER TABLE " + table + " ADD Assinatura " + (sqlite_ ? "BLOB" : "LONGBLOB"));
            cn().Execute("ALTER TABLE " + table + " ADD Valor DECIMAL(12,4)");
            cn().Execute("UPDATE " + table +
                         " SET Assinatura = X'00FF0041', Valor = 12.5, Título = '', "
                         "Texto = 'aspas '' \" barra \\ ação 😀' WHERE Número_Exame = '" + number + "'");
        }
    }

    std::unique_ptr<ExamBackend> backend_;
    std::unique_ptr<ado::Connection> connection_;
    bool sqlite_ = false;
    FakeToolkit ui_;
    TempDir copies_;
};

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The copy as one document, whichever form the file has.
ordered_json ReadCopy(const std::string& path) {
    std::string reason;
    const std::string document = removal::CopyAsDocument(FileText(path), reason);
    EXPECT_EQ(reason, "");
    return ordered_json::parse(document);
}

// Rows per table of the copy's set, as RowsOfExamination keys its snapshot.
std::map<std::string, std::size_t> RowsPerTable(const ordered_json& set) {
    std::map<std::string, std::size_t> rows;
    for (const auto& table : set["tabelas"])
        if (!table["linhas"].empty()) rows[table["tabela"]] = table["linhas"].size();
    return rows;
}

std::map<std::string, std::size_t> RowsPerTable(const Snapshot& snapshot) {
    std::map<std::string, std::size_t> rows;
    for (const auto& [table, list] : snapshot)
        if (!list.empty()) rows[table] = list.size();
    return rows;
}

TEST_P(CopySuite, KeepsEveryRemovedRowOnceExactlyInAnOwnerOnlyFile) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    const std::string number = seed.both.front();
    AddHostileColumns(number);
    const Snapshot live = RowsOfExamination(cn(), number, "");
    const Snapshot twins = RowsOfExamination(cn(), number, "_BK");

    const mode_t previous = ::umask(0);
    const auto report = Remove(number, copies_.path().string());
    ::umask(previous);

    ASSERT_EQ(report.outcome, removal::RemovalReport::Outcome::Removed);
    ASSERT_FALSE(report.copyFile.empty());
    struct stat status {};
    ASSERT_EQ(::stat(report.copyFile.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(copies_.path()), {}), 1)
        << "no temporary file left behind";

    ordered_json copy = ReadCopy(report.copyFile);
    const std::string checksum = copy["sha256"];
    copy.erase("sha256");
    EXPECT_EQ(platform::Sha256Hex(copy.dump()), checksum);
    EXPECT_EQ(copy["exame"], number);
    ASSERT_EQ(copy["conjuntos"].size(), 2u);
    EXPECT_EQ(copy["conjuntos"][0]["estado"], "confirmado");
    EXPECT_EQ(copy["conjuntos"][1]["estado"], "confirmado");
    EXPECT_EQ(RowsPerTable(copy["conjuntos"][0]), RowsPerTable(live));
    EXPECT_EQ(RowsPerTable(copy["conjuntos"][1]), RowsPerTable(twins));

    const ordered_json& descritivo = copy["conjuntos"][0]["tabelas"][4];
    ASSERT_EQ(descritivo["tabela"], "Exame_Descritivo");
    std::map<std::string, ordered_json> row;
    for (std::size_t i = 0; i < descritivo["colunas"].size(); ++i)
        row[descritivo["colunas"][i]["nome"]] = descritivo["linhas"][0][i];
    EXPECT_EQ(row["Assinatura"], (ordered_json{{"base64", "AP8AQQ=="}}));
    EXPECT_EQ(row["Título"], "");
    EXPECT_EQ(row["Texto"], "aspas ' \" barra \\ ação 😀");
    EXPECT_EQ(ado::ToText(row["Valor"].is_string() ? ado::Variant(row["Valor"].get<std::string>())
                                                   : ado::Variant(row["Valor"].get<double>())),
              sqlite_ ? "12.5" : "12.5000");
}

TEST_P(CopySuite, ACopyThatCannotBeWrittenRemovesNothing) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    const Snapshot before = TakeSnapshot(cn());
    const std::string missing = copies_.file("nao-existe");

    const auto report = Remove(seed.both.front(), missing);

    EXPECT_EQ(report.outcome, removal::RemovalReport::Outcome::Failed);
    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[1].prompt, "Não foi possível gravar a cópia dos registros removidos na pasta '" + missing +
                                       "': a pasta não existe.\n\nA remoção de 'Exame' foi desfeita.");
    EXPECT_EQ(ui_.calls[1].title, "Atenção!");
    EXPECT_EQ(ui_.calls[1].buttons, platform::vbOKOnly);
    EXPECT_EQ(TakeSnapshot(cn()), before);
}

TEST_P(CopySuite, AFullDiskUnderTheCopiesRemovesNothing) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    // The journal in memory, so that only the copy meets the limit.
    if (sqlite_) cn().Execute("PRAGMA journal_mode=MEMORY");
    const Snapshot before = TakeSnapshot(cn());
    // A file may grow to 1 KiB only: the copy's write fails with EFBIG, as on a full disk.
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto report = Remove(seed.both.front(), copies_.path().string());
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(report.outcome, removal::RemovalReport::Outcome::Failed);
    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[1].prompt, "Não foi possível gravar a cópia dos registros removidos na pasta '" +
                                       copies_.path().string() +
                                       "': não há espaço livre no disco.\n\nA remoção de 'Exame' foi desfeita.");
    EXPECT_EQ(TakeSnapshot(cn()), before);
    EXPECT_TRUE(std::filesystem::is_empty(copies_.path())) << "a partial copy is removed";
}

// Once the first set's rows are flushed, the file may grow by 100 bytes only.
void LimitGrowthAfterFirstFlush(const std::string& path) {
    rlimit small{};
    ::getrlimit(RLIMIT_FSIZE, &small);
    small.rlim_cur = std::filesystem::file_size(path) + 100;
    ::setrlimit(RLIMIT_FSIZE, &small);
    platform::SetFileFlushObserver(nullptr);
}

TEST_P(CopySuite, ADiskFullAtTheBackupSetLeavesTheLiveSetsCopyWhole) {
    // The limit binds every file of the process: SQLite's own would fail first.
    if (sqlite_) GTEST_SKIP() << "the database file is in this process";
    const SeedNumbers seed = FindSeedNumbers(cn());
    const Snapshot before = TakeSnapshot(cn());
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    platform::SetFileFlushObserver(LimitGrowthAfterFirstFlush);
    const auto report = Remove(seed.both.front(), copies_.path().string());
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
    platform::SetFileFlushObserver(nullptr);

    EXPECT_EQ(report.sets[1].failedAt, "copia");
    EXPECT_EQ(ui_.calls.back().prompt, "Não foi possível gravar a cópia dos registros removidos na pasta '" +
                                           copies_.path().string() +
                                           "': não há espaço livre no disco.\n\nA remoção de 'Exame_BK' foi desfeita.");
    // The torn record was taken back: the live set is put back from the file.
    const auto restored = removal::RestoreRemovedRows(report.copyFile, cn(), false);
    EXPECT_EQ(restored.outcome, removal::RestoreReport::Outcome::Restored) << restored.reason;
    EXPECT_FALSE(restored.unfinished);
    EXPECT_EQ(TakeSnapshot(cn()), before);
}

TEST_P(CopySuite, ARowAddedBetweenTheReadingAndTheDeleteRollsTheSetBack) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    const std::string number = seed.both.front();
    // Deleting the examination's pages adds a diagnosis code to it, which the
    // copy read before cannot hold.
    const std::string insert = "INSERT INTO Exame_CID (ID_Exame_CID, Número_Exame, Código_CID) VALUES (9999, '" +
                               number + "', 'Z00')";
    cn().Execute(sqlite_ ? "CREATE TRIGGER Intruso BEFORE DELETE ON Exame_Página BEGIN " + insert +
                               " ON CONFLICT DO NOTHING; END"
                         : "CREATE TRIGGER Intruso BEFORE DELETE ON Exame_Página FOR EACH ROW INSERT IGNORE" +
                               insert.substr(6));
    const Snapshot before = TakeSnapshot(cn());

    const auto report = Remove(number, copies_.path().string());

    EXPECT_EQ(report.outcome, removal::RemovalReport::Outcome::Failed);
    EXPECT_EQ(report.sets[0].end, removal::CascadeReport::End::RolledBack);
    EXPECT_EQ(report.sets[0].failedAt, "copia");
    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[1].prompt.substr(0, 50), "Os registros de 'Exame_CID' mudaram durante a remo");
    EXPECT_EQ(TakeSnapshot(cn()), before);
    EXPECT_TRUE(std::filesystem::is_empty(copies_.path())) << "nothing written for a set rolled back";
}

// Runs a change from another session once the copy has read its rows.
class ChangeAfterReading final : public removal::CascadeSteps {
public:
    ChangeAfterReading(removal::RemovalCopy& copy, std::function<void()> change) : copy_(copy), change_(change) {}
    bool BeforeStatements(ado::Connection& cn, const std::string& n, const std::string& t,
                          removal::CascadeReport& r) override {
        const bool read = copy_.BeforeStatements(cn, n, t, r);
        change_();
        return read;
    }
    bool BeforeCommit(removal::CascadeReport& r) override { return copy_.BeforeCommit(r); }

private:
    removal::RemovalCopy& copy_;
    std::function<void()> change_;
};

TEST_P(CopySuite, NoOtherSessionChangesARowBetweenTheReadingAndTheDelete) {
    const std::string number = FindSeedNumbers(cn()).both.front();
    ado::Connection other(backend_->WithShortLockWait(cn().ConnectionString()));
    other.Open();
    if (!sqlite_) other.Execute("SET SESSION innodb_lock_wait_timeout = 1");
    bool changed = false;
    removal::RemovalCopy copy(copies_.path().string(),
                              {number, std::chrono::system_clock::now(), "ana", "laudos-01", cn().ConnectionString()},
                              ui_);
    ChangeAfterReading steps(copy, [&] {
        try {
            long rows = 0;
            other.Execute("UPDATE Exame_CID SET Descrição = 'mudou' WHERE Número_Exame = '" + number + "'", &rows);
            changed = rows > 0;
        } catch (const ado::AdoError&) {
        }
    });
    removal::CascadeReport report;
    ASSERT_TRUE(removal::Deleta_Exame_em_Cascata(cn(), number, "", ui_, &report, nullptr, &steps));
    copy.SetEnded(report);
    EXPECT_FALSE(changed) << "the rows read are locked until the commit";
}

TEST_P(CopySuite, RemovalThenRestoreGivesBackEveryTableByteForByte) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    for (const std::string& number : {seed.both.front(), seed.liveOnly.front()}) {
        SCOPED_TRACE("examination " + number);
        AddHostileColumns(number);
        const Snapshot before = TakeSnapshot(cn());
        const ado::RowSet pages = cn().Query("SELECT ID_Página FROM Exame_Página WHERE Número_Exame = '" + number + "'");
        ASSERT_FALSE(pages.rows.empty());
        const std::string pageId = ado::ToText(pages.rows[0][0]);
        const auto report = Remove(number, copies_.path().string());
        ASSERT_EQ(report.outcome, removal::RemovalReport::Outcome::Removed);
        ASSERT_NE(TakeSnapshot(cn()), before);
        // A set whose Exame holds no row for the number reads no other table.
        const ordered_json twins = ReadCopy(report.copyFile)["conjuntos"][1]["tabelas"];
        EXPECT_EQ(twins[0]["colunas"].empty(), number == seed.liveOnly.front());
        EXPECT_FALSE(twins[12]["colunas"].empty());

        const auto dryRun = removal::RestoreRemovedRows(report.copyFile, cn(), true);
        EXPECT_EQ(dryRun.outcome, removal::RestoreReport::Outcome::Simulated) << dryRun.reason;
        ASSERT_EQ(dryRun.sets.size(), 2u);
        EXPECT_EQ(dryRun.sets[0].tables.front(), (std::pair<std::string, std::size_t>{"Exame", 1}));

        // A page key of the copy taken by another examination: refused before any set is inserted.
        cn().Execute("INSERT INTO Exame_Página (ID_Página, Número_Exame, Número_Página) VALUES (" + pageId +
                     ", 'outro', 1)");
        const Snapshot clashing = TakeSnapshot(cn());
        const auto clash = removal::RestoreRemovedRows(report.copyFile, cn(), false);
        EXPECT_EQ(clash.outcome, removal::RestoreReport::Outcome::Refused);
        EXPECT_EQ(clash.reason.substr(0, 54), "o banco de dados recusa as linhas de 'Exame_Página' (");
        EXPECT_EQ(TakeSnapshot(cn()), clashing);
        cn().Execute("DELETE FROM Exame_Página WHERE Número_Exame = 'outro'");

        const auto restored = removal::RestoreRemovedRows(report.copyFile, cn(), false);
        EXPECT_EQ(restored.outcome, removal::RestoreReport::Outcome::Restored) << restored.reason;
        EXPECT_EQ(TakeSnapshot(cn()), before);
        if (sqlite_) {  // the snapshot reads bytes as text; SQLite keeps the kind of each value too
            const ado::RowSet kinds = cn().Query(
                "SELECT DISTINCT typeof(Assinatura) || typeof(Valor) FROM Exame_Descritivo WHERE Número_Exame = '" +
                number + "'");
            ASSERT_EQ(kinds.rows.size(), 1u);
            EXPECT_EQ(ado::ToText(kinds.rows[0][0]), "blobreal");
        }

        const auto again = removal::RestoreRemovedRows(report.copyFile, cn(), false);
        EXPECT_EQ(again.outcome, removal::RestoreReport::Outcome::Refused);
        EXPECT_EQ(again.reason, "o exame '" + number + "' já está em 'Exame' (criado de novo, ou já restaurado)");
        for (const char* suffix : {"", "_BK"}) {
            const std::string table = std::string("Exame_Descritivo") + suffix;
            cn().Execute("ALTER TABLE " + table + " DROP COLUMN Assinatura");
            cn().Execute("ALTER TABLE " + table + " DROP COLUMN Valor");
        }
    }
}

TEST_P(CopySuite, ATableWhoseParentKeptNoRowKeepsNoColumns) {
    for (const std::string& number : FindSeedNumbers(cn()).liveOnly) {
        if (!cn().Query("SELECT 1 FROM Exame_Página WHERE Número_Exame = '" + number + "'").rows.empty()) continue;
        const auto report = Remove(number, copies_.path().string());
        ASSERT_EQ(report.outcome, removal::RemovalReport::Outcome::Removed);
        const ordered_json live = ReadCopy(report.copyFile)["conjuntos"][0]["tabelas"];
        EXPECT_FALSE(live[3]["colunas"].empty()) << "Exame_Página, whose parent is Exame, is asked";
        for (const int t : {0, 1, 2}) EXPECT_TRUE(live[t]["colunas"].empty()) << live[t]["tabela"];
        return;
    }
    FAIL() << "no examination of the seed without pages";
}

// The copy with its checksum made right again after an edit.
std::string Resealed(ordered_json copy) {
    copy.erase("sha256");
    copy["sha256"] = platform::Sha256Hex(copy.dump());
    return copy.dump();
}

TEST_P(CopySuite, AHostileCopyIsRefusedAndChangesNothing) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    const auto report = Remove(seed.both.front(), copies_.path().string());
    ASSERT_EQ(report.outcome, removal::RemovalReport::Outcome::Removed);
    // The file as written, in records, and the same copy as one document, the
    // form earlier versions wrote, which is still read.
    const std::string records = FileText(report.copyFile);
    const ordered_json copy = ReadCopy(report.copyFile);
    const std::string good = copy.dump();
    EXPECT_EQ(removal::CheckCopyText(good, cn().ConnectionString()), "");
    const Snapshot before = TakeSnapshot(cn());
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < records.size(); at = records.find('\n', at) + 1)
        lines.push_back(records.substr(at, records.find('\n', at) + 1 - at));
    ASSERT_EQ(lines.size(), 4u) << "header, each set before its commit, the states after";
    std::string recordEdited = records;
    recordEdited[lines[0].size() + lines[1].size() / 2] ^= 1;

    const std::string damaged = "o arquivo está danificado, incompleto ou não é uma cópia de remoção";
    const std::string edited = "a soma de verificação não confere: o arquivo foi alterado ou está danificado";
    ordered_json otherValue = copy, injected = copy, otherDatabase = copy, pending = copy;
    otherValue["conjuntos"][0]["tabelas"][12]["linhas"][0][1] = "Outro Paciente";
    injected["conjuntos"][0]["tabelas"][12]["colunas"][1]["nome"] = "Nome_Paciente\") VALUES (1); DROP TABLE Exame; --";
    otherDatabase["banco"]["arquivo"] = "/srv/outra.db";
    pending["conjuntos"][0]["estado"] = "desfeito";
    pending["conjuntos"][1]["estado"] = "desfeito";
    struct Case {
        std::string name, content, reason;
    };
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() / 2), damaged},
        {"truncated records", lines[0].substr(0, lines[0].size() / 2), damaged},
        {"record edited", recordEdited, edited},
        {"record left out", lines[0] + lines[2] + lines[3], edited},
        {"records swapped", lines[0] + lines[2] + lines[1] + lines[3], edited},
        {"edited value", otherValue.dump(), edited},
        {"wrong checksum", Resealed(copy).replace(good.find("\"sha256\"") + 10, 4, "0000"), edited},
        {"nested", std::string(100000, '[') + std::string(100000, ']'), damaged},
        {"injected column", Resealed(injected), "as colunas da tabela 'Exame' não correspondem mais às do arquivo"},
        {"other database", Resealed(otherDatabase), ""},
        {"never committed", Resealed(pending), "nenhuma remoção deste arquivo chegou a ser confirmada: não há o que restaurar"},
    };
    const std::string huge = copies_.file("enorme.json");
    std::ofstream(huge).put('{');
    std::filesystem::resize_file(huge, removal::kLargestCopyFile + 1);  // sparse: nothing is written
    EXPECT_EQ(removal::RestoreRemovedRows(huge, cn(), false).reason,
              "não foi possível ler o arquivo: o arquivo é grande demais");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = copies_.file("hostil.json");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content;
        const auto restored = removal::RestoreRemovedRows(path, cn(), false);
        EXPECT_EQ(restored.outcome, removal::RestoreReport::Outcome::Refused);
        if (!c.reason.empty()) {
            EXPECT_EQ(restored.reason, c.reason);
        } else {
            EXPECT_EQ(restored.reason.substr(0, 36), "o arquivo é de outro banco de dados");
        }
        EXPECT_EQ(TakeSnapshot(cn()), before);
    }
    // A last record cut short is what a crash leaves of a write not yet
    // flushed, on which no commit relied: left out, and said.
    const std::string torn = copies_.file("cortado.json");
    std::ofstream(torn, std::ios::binary) << lines[0] + lines[1] + lines[2] + lines[3].substr(0, 40);
    const auto dryRun = removal::RestoreRemovedRows(torn, cn(), true);
    EXPECT_EQ(dryRun.outcome, removal::RestoreReport::Outcome::Simulated) << dryRun.reason;
    EXPECT_TRUE(dryRun.unfinished);
}

TEST_P(CopySuite, TheDryRunCountsStoredRowsNotJoinRowsWhenTwinsRepeatWithoutKeys) {
    const SeedNumbers seed = FindSeedNumbers(cn());
    const std::string number = seed.both.front();
    for (const char* sql : {"CREATE TABLE Sem_Chave AS SELECT * FROM Exame_Página_BK", "DROP TABLE Exame_Página_BK",
                            "ALTER TABLE Sem_Chave RENAME TO Exame_Página_BK"})
        cn().Execute(sql);
    cn().Execute("INSERT INTO Exame_Página_BK SELECT * FROM Exame_Página_BK WHERE Número_Exame = '" + number + "'");

    const removal::RemovalPreview preview = removal::PreviewRemoval(number, cn(), ui_);
    const auto report = Remove(number, copies_.path().string());
    ASSERT_EQ(report.outcome, removal::RemovalReport::Outcome::Removed);
    for (std::size_t set = 0; set < 2; ++set)
        for (std::size_t t = 0; t < report.sets[set].removed.size(); ++t)
            EXPECT_EQ(preview.sets[set].removed.at(t).rows, report.sets[set].removed[t].rows)
                << report.sets[set].removed[t].table << " set " << set;
}

// Ends the process with SIGKILL at one step of a removal with copies.
class KillingSteps final : public removal::CascadeSteps {
public:
    enum Step { BeforeTheFile, AfterTheFileBeforeTheCommit, AfterTheCommitBeforeTheMark };
    KillingSteps(removal::RemovalCopy& copy, Step step) : copy_(copy), step_(step) {}
    bool BeforeStatements(ado::Connection& cn, const std::string& n, const std::string& t,
                          removal::CascadeReport& r) override {
        if (step_ == BeforeTheFile) ::raise(SIGKILL);
        return copy_.BeforeStatements(cn, n, t, r);
    }
    bool BeforeCommit(removal::CascadeReport& r) override {
        const bool written = copy_.BeforeCommit(r);
        if (step_ == AfterTheFileBeforeTheCommit) ::raise(SIGKILL);
        return written;
    }

private:
    removal::RemovalCopy& copy_;
    Step step_;
};

TEST(CopyKilled, AfterAKillTheRowsAreAllThereOrACompleteCopyGivesThemBack) {
    for (const auto step : {KillingSteps::BeforeTheFile, KillingSteps::AfterTheFileBeforeTheCommit,
                            KillingSteps::AfterTheCommitBeforeTheMark}) {
        SCOPED_TRACE("step " + std::to_string(step));
        TempDir dir;
        const std::string connectionString = CreateSqliteExamDatabase(dir.file("exames.db"));
        const std::string copies = dir.file("copias");
        std::filesystem::create_directory(copies);
        ado::Connection cn(connectionString);
        cn.Open();
        const std::string number = FindSeedNumbers(cn).liveOnly.front();
        const Snapshot before = TakeSnapshot(cn);
        cn.Close();

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ado::Connection own(connectionString);
            own.Open();
            FakeToolkit ui;
            removal::RemovalCopy copy(copies, {number, std::chrono::system_clock::now(), "ana", "laudos-01",
                                               connectionString},
                                      ui);
            KillingSteps steps(copy, step);
            if (removal::Deleta_Exame_em_Cascata(own, number, "", ui, nullptr, nullptr, &steps) &&
                step == KillingSteps::AfterTheCommitBeforeTheMark)
                ::raise(SIGKILL);
            ::_exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

        cn.Open();
        const auto files = std::distance(std::filesystem::directory_iterator(copies), {});
        if (TakeSnapshot(cn) == before) {
            EXPECT_NE(step, KillingSteps::AfterTheCommitBeforeTheMark);
        } else {
            EXPECT_EQ(step, KillingSteps::AfterTheCommitBeforeTheMark);
            ASSERT_EQ(files, 1);
            const std::string file = std::filesystem::directory_iterator(copies)->path().string();
            const auto restored = removal::RestoreRemovedRows(file, cn, false);
            EXPECT_EQ(restored.outcome, removal::RestoreReport::Outcome::Restored) << restored.reason;
            EXPECT_EQ(TakeSnapshot(cn), before);
        }
        if (step == KillingSteps::BeforeTheFile) {
            EXPECT_EQ(files, 0);
        }
    }
}

TEST(CopyReading, ReadsTheStatementsRowsWithTheSameJoinsAndFilter) {
    EXPECT_EQ(removal::ReadingStatementText(removal::kCascadeStatements[2], "1'1", "_BK"),
              "SELECT * FROM Exame_Imagem_BK WHERE Exame_Imagem_BK.ID_Página IN (SELECT Exame_Página_BK.ID_Página "
              "FROM (Exame_Página_BK  INNER JOIN  Exame_BK ON Exame_Página_BK.Número_Exame = "
              "Exame_BK.Número_Exame) WHERE (((Exame_BK.Número_Exame)='1''1')));");
    EXPECT_EQ(removal::ReadingStatementText(removal::kCascadeStatements[12], "7", ""),
              "SELECT * FROM Exame WHERE (((Exame.Número_Exame)='7'));");
}

INSTANTIATE_TEST_SUITE_P(Sqlite, CopySuite, ::testing::Values(SqliteExamBackend()), DatabaseName);
INSTANTIATE_TEST_SUITE_P(MariaDb, CopySuite, ::testing::Values(MariaDbExamBackend()), DatabaseName);

}  // namespace

namespace {

TEST(CopyAudit, TheRecordNamesTheCopy) {
    removal::RemovalReport report;
    report.outcome = removal::RemovalReport::Outcome::Removed;
    report.copyFile = "/srv/copias/exame-1001.json";
    const std::string line = removal::AuditLine(removal::AuditAttempt{}, report);
    EXPECT_NE(line.find(" copia=\"/srv/copias/exame-1001.json\""), std::string::npos) << line;
}

}  // namespace

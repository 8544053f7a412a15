// The command line for IT: refusals, the dry run against what the removal
// then does, and a batch with a failing examination in the middle.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DE.h"
#include "ExamDatabase.h"
#include "LogReceiver.h"
#include "SystemLog.h"
#include "TempDir.h"
#include "ado/Connection.h"

namespace {

using namespace testing_support;

struct Outcome {
    int status;
    std::string out, err;
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        connectionString_ = CreateSqliteExamDatabase(temp_.file("exames.db"));
        ini_ = temp_.write("Quelvomir.INI", "[Quelvomir]\r\nCONN_SERVER=" + connectionString_ + "\r\n");
        cn_ = std::make_unique<ado::Connection>(connectionString_);
        cn_->Open();
    }

    Outcome run(std::vector<std::string> args, const std::string& input = "", bool terminal = false) {
        args.insert(args.begin(), "remover-exame");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        std::istringstream in(input);
        std::ostringstream out, err;
        const int status =
            app::RunCommandLine(static_cast<int>(argv.size()), argv.data(), {in, out, err, terminal}, &log_);
        // The data environment outlives a run; a real program runs once.
        ado::Connection& connection = DE::Instance().Conexão_Atual();
        if (connection.State() == ado::adStateOpen) connection.Close();
        return {status, out.str(), err.str()};
    }

    TempDir temp_;
    std::string connectionString_, ini_;
    std::unique_ptr<ado::Connection> cn_;
    LogReceiver receiver_;
    platform::LocalSyslog log_{receiver_.path()};
};

TEST_F(CommandLineTest, RefusesWhatWasNotAskedForPlainly) {
    const Snapshot before = TakeSnapshot(*cn_);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err;  // expected within the stream
    };
    const Case cases[] = {
        {{"--exame", "1001"}, 2, "", "nada foi removido"},
        {{"--ini", ini_, "--exame", "1001"}, 2, "", "use --confirmar"},
        {{"--simular", "--confirmar", "--exame", "1001"}, 2, "", "não podem ser usados juntos"},
        {{"--simular", "--exame"}, 2, "", "--exame precisa de um valor"},
        {{"--confirmar", "--exame", "1001", "1002"}, 2, "", "argumento não reconhecido: 1002"},
        {{"--simular", "--formato", "xml", "--exame", "1001"}, 2, "", "formato desconhecido: xml"},
        {{"--simular", "--ini", ini_}, 2, "", "nenhum exame informado"},
        {{"--confirmar", "--ini", ini_, "--lista", temp_.file("nenhuma")},
         2,
         "",
         "não foi possível abrir a lista"},
        {{"--confirmar", "--ini", temp_.file("nenhum.ini"), "--exame", "1001"}, 2, "", "Não foi encontrado"},
        {{"--ajuda"}, 0, "Uso: remover-exame", ""},
        {{"--version"}, 0, "remover-exame 4.0\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + (c.args.size() > 1 ? c.args[1] : ""));
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.status) {
            EXPECT_EQ(r.out, "");
        }
    }
    EXPECT_EQ(TakeSnapshot(*cn_), before);
    EXPECT_EQ(receiver_.Next(false), "") << "nothing reached a removal";
}

TEST_F(CommandLineTest, TheDryRunChangesNothingAndCountsWhatTheRemovalThenRemoves) {
    const SeedNumbers seed = FindSeedNumbers(*cn_);
    const std::string list =
        temp_.write("lista.txt", "\xEF\xBB\xBF# exames de teste\r\n" + seed.liveOnly.front() +
                                     "\r\n\r\n   \n" + seed.twinsOnly.front() + "\nnao-existe\n");
    const std::vector<std::string> numbers = {seed.both.front(), seed.liveOnly.front(),
                                              seed.twinsOnly.front(), "nao-existe", seed.both.back()};
    const std::vector<std::string> selection = {"--ini",     ini_,  "--exame", numbers.front(),
                                                "--lista",   list,  "--exame", numbers.back(),
                                                "--formato", "json"};
    const Snapshot before = TakeSnapshot(*cn_);

    std::vector<std::string> args = selection;
    args.push_back("--simular");
    const Outcome dry = run(args);
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_EQ(TakeSnapshot(*cn_), before);
    EXPECT_EQ(receiver_.Next(false), "") << "a dry run is not a removal attempt";

    args.back() = "--confirmar";
    const Outcome removal = run(args);
    EXPECT_EQ(removal.status, 1) << removal.err;

    const auto preview = nlohmann::json::parse(dry.out), done = nlohmann::json::parse(removal.out);
    ASSERT_EQ(preview["exames"].size(), numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        SCOPED_TRACE(numbers[i]);
        const auto &p = preview["exames"][i], &d = done["exames"][i];
        EXPECT_EQ(p["exame"], numbers[i]);
        EXPECT_EQ(d["exame"], numbers[i]);
        const bool exists = numbers[i] != "nao-existe";
        EXPECT_EQ(p["resultado"], exists ? "seria_removido" : "nao_encontrado");
        EXPECT_EQ(d["resultado"], exists ? "removido" : "nao_encontrado");
        for (const char* set : {"vivo", "bk"}) {
            if (!exists) continue;
            EXPECT_EQ(p[set]["linhas"].size(), 13u);
            EXPECT_EQ(p[set]["linhas"], d[set]["linhas"]) << set;
        }
        // Every record in the log, in order.
        const auto record = LogFields(receiver_.Next());
        EXPECT_EQ(record.at("origem"), "linha_de_comando");
        EXPECT_EQ(record.at("exame"), "\"" + numbers[i] + "\"");
    }
    EXPECT_EQ(done["resumo"]["linhas_removidas"], preview["resumo"]["linhas_seriam_removidas"]);
    EXPECT_GT(done["resumo"]["linhas_removidas"].get<int>(), 20);
    for (const auto& number : numbers) EXPECT_EQ(CountRows(RowsOfExamination(*cn_, number, "")), 0u);
}

TEST_F(CommandLineTest, AFailingExaminationIsReportedAndTheNextOnesStillRun) {
    const SeedNumbers seed = FindSeedNumbers(*cn_);
    const std::string held = seed.both.back();
    // A table outside the thirteen holds one examination back.
    cn_->Execute(
        "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
        "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame))");
    cn_->Execute("INSERT INTO Laudo_Externo (Id, Número_Exame) VALUES (1, '" + held + "')");
    const Snapshot heldRows = RowsOfExamination(*cn_, held, "");
    std::string list = seed.both.front() + "\n" + held + "\n" + seed.liveOnly.front() + "\n";
    for (int i = 0; i < 20; ++i) list += "x" + std::to_string(i) + "\n";

    const Outcome r = run({"--confirmar", "--ini", ini_, "--lista", "-"}, list, true);

    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Exame \"" + held + "\": falhou"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Nada foi removido de vivo."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Resumo: 23 exames; 2 removidos, 20 não localizados, 1 com falha;"),
              std::string::npos)
        << r.out;
    // The window's messages, one line each, and the progress bar, cleared.
    EXPECT_NE(
        r.err.find("exame \"" + held + "\": Tem certeza que deseja remover o exame '" + held + "' [OK]\n"),
        std::string::npos);
    EXPECT_NE(r.err.find("exame \"x19\": Exame não localizado.\n"), std::string::npos);
    EXPECT_NE(r.err.find("] 23/23 exames"), std::string::npos);
    EXPECT_EQ(r.err.substr(r.err.size() - 4), "\r\x1b[K");
    EXPECT_EQ(RowsOfExamination(*cn_, held, ""), heldRows);
    for (const auto& number : {seed.both.front(), seed.liveOnly.front()})
        EXPECT_EQ(CountRows(RowsOfExamination(*cn_, number, "")), 0u);
    const char* expected[] = {"removido", "falhou", "removido"};
    for (const char* outcome : expected) EXPECT_EQ(LogFields(receiver_.Next()).at("resultado"), outcome);
}

TEST_F(CommandLineTest, CopiesGoToTheConfiguredFolderOrToTheOneGivenForTheRun) {
    const SeedNumbers seed = FindSeedNumbers(*cn_);
    const std::string copies = temp_.file("copias");
    std::filesystem::create_directory(copies);
    ini_ = temp_.write("Quelvomir.INI", "[Quelvomir]\r\nCONN_SERVER=" + connectionString_ +
                                            "\r\nREMOVER_COPIAS=" + copies + "\r\n");

    const Snapshot before = TakeSnapshot(*cn_);
    const std::string missing = temp_.file("nao-existe");
    const Outcome refused = run({"--confirmar", "--ini", ini_, "--copia", missing, "--exame", seed.both.front()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("na pasta '" + missing + "': a pasta não existe."), std::string::npos) << refused.err;
    EXPECT_EQ(TakeSnapshot(*cn_), before);
    EXPECT_TRUE(std::filesystem::is_empty(copies));

    const Outcome removed = run({"--confirmar", "--ini", ini_, "--exame", seed.both.front()});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(copies), {}), 1);
    LogFields(receiver_.Next());
    EXPECT_EQ(LogFields(receiver_.Next()).at("copia").substr(0, copies.size() + 2), "\"" + copies + "/");

    // Put back from the command line: the dry run changes nothing, the restore gives the rows back.
    const std::string file = std::filesystem::directory_iterator(copies)->path().string();
    const Snapshot removedState = TakeSnapshot(*cn_);
    const Outcome dryRun = run({"--simular", "--ini", ini_, "--restaurar", file});
    EXPECT_EQ(dryRun.status, 0) << dryRun.err;
    EXPECT_NE(dryRun.out.find("Seria restaurado o exame \"" + seed.both.front() + "\":\n  Conjunto vivo\n    Exame: 1\n"),
              std::string::npos)
        << dryRun.out;
    EXPECT_EQ(TakeSnapshot(*cn_), removedState);
    EXPECT_EQ(LogFields(receiver_.Next()).at("resultado"), "simulado");
    const Outcome restored = run({"--confirmar", "--ini", ini_, "--restaurar", file});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(TakeSnapshot(*cn_), before);
    const auto record = LogFields(receiver_.Next());
    EXPECT_EQ(record.at("evento"), "restauracao_exame");
    EXPECT_EQ(record.at("resultado"), "restaurado");
    EXPECT_EQ(run({"--confirmar", "--ini", ini_, "--restaurar", file}).status, 2);
}

}  // namespace

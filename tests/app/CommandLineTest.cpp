// The command line for IT: refusals, the dry run against what the removal
// then does, and a batch with a failing examination in the middle.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "CommandLineOutput.h"
#include "DE.h"
#include "ExamDatabase.h"
#include "LogReceiver.h"
#include "SystemLog.h"
#include "TempDir.h"
#include "ado/Connection.h"

namespace {

using namespace testing_support;

constexpr std::size_t kLongLine = 4097;

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
    const std::string fifo = temp_.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // nobody writes: opening it to read would wait for ever
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
        // A value that starts with "-" is written with "=": the next option is never a number.
        {{"--confirmar", "--ini", ini_, "--exame", "--simular"}, 2, "", "--exame precisa de um valor"},
        {{"--simular", "--ini", ini_, "--lista", "--exame", "1001"}, 2, "", "--lista precisa de um valor"},
        {{"--simular", "--formato", "json", "--formato", "tabela", "--exame", "1001"},
         2,
         "",
         "a opção --formato foi dada mais de uma vez."},
        {{"--simular", "--ini", ini_, "--"}, 2, "", "nenhum exame informado"},
        // Nothing that is not a regular file is read as a list.
        {{"--simular", "--ini", ini_, "--lista", "/dev/zero"}, 2, "", "'/dev/zero' não é um arquivo comum"},
        {{"--simular", "--ini", ini_, "--lista", temp_.path().string()}, 2, "", "não é um arquivo comum"},
        {{"--simular", "--ini", ini_, "--lista", fifo}, 2, "", "não é um arquivo comum"},
        {{"--confirmar", "--exame", "1001", "1002"}, 2, "", "argumento não reconhecido: 1002"},
        {{"--simular", "--formato", "xml", "--exame", "1001"}, 2, "", "formato desconhecido: xml"},
        {{"--confirmar", "--lote", "--exame", "1001"}, 2, "", "--lote precisa de um valor"},
        {{"--confirmar", "--lote", "0", "--exame", "1001"}, 2, "", "tamanho de lote inválido: 0 "},
        {{"--confirmar", "--lote", "100001", "--exame", "1001"}, 2, "", "tamanho de lote inválido: 100001 "},
        {{"--confirmar", "--lote", "2x", "--exame", "1001"}, 2, "", "tamanho de lote inválido: 2x "},
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
        const auto record = LogFields(receiver_.NextFinal());
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
    for (const char* outcome : expected) EXPECT_EQ(LogFields(receiver_.NextFinal()).at("resultado"), outcome);
}

// In groups (--lote) the table says of each examination, and the status
// says of the run, what they say one examination at a time; the one that a
// table outside the thirteen holds fails alone. The JSON says the same.
TEST_F(CommandLineTest, AGroupedRunTellsWhatOneAtATimeTells) {
    const SeedNumbers seed = FindSeedNumbers(*cn_);
    const std::string held = seed.both.back();
    const std::vector<std::string> numbers = {seed.both.front(), held, seed.liveOnly.front(), "nao-existe",
                                              seed.twinsOnly.front()};
    struct Run {
        Outcome outcome;
        Snapshot after;
    };
    int databases = 0;
    auto runWith = [&](const std::string& lote, const std::string& formato, const std::string& copies = "") {
        const std::string connectionString =
            CreateSqliteExamDatabase(temp_.file("lote-" + std::to_string(++databases) + ".db"));
        ado::Connection cn(connectionString);
        cn.Open();
        cn.Execute(
            "CREATE TABLE Laudo_Externo (Id INTEGER NOT NULL PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL, "
            "FOREIGN KEY (Número_Exame) REFERENCES Exame (Número_Exame))");
        cn.Execute("INSERT INTO Laudo_Externo (Id, Número_Exame) VALUES (1, '" + held + "')");
        const std::string ini =
            temp_.write("lote.ini", "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n");
        std::vector<std::string> args = {"--confirmar", "--ini", ini, "--lote", lote, "--formato", formato};
        if (!copies.empty()) args.insert(args.end(), {"--copia", copies});
        args.push_back("--");
        args.insert(args.end(), numbers.begin(), numbers.end());
        Run result{run(args), {}};
        result.after = TakeSnapshot(cn);
        return result;
    };
    const Run alone = runWith("1", "tabela"), grouped = runWith("3", "tabela");
    EXPECT_EQ(alone.outcome.status, 2);
    EXPECT_NE(alone.outcome.out.find("Exame \"" + held + "\": falhou"), std::string::npos)
        << alone.outcome.out;
    EXPECT_EQ(grouped.outcome.status, alone.outcome.status);
    EXPECT_EQ(grouped.outcome.out, alone.outcome.out);
    EXPECT_EQ(grouped.after, alone.after);
    // With copies, each examination removed has its own, which records both
    // commits: a dry restore would put both sets back.
    const std::string copies = temp_.file("copias");
    std::filesystem::create_directory(copies);
    const auto json = nlohmann::json::parse(runWith("1000", "json", copies).outcome.out);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(copies)) {
        ++files;
        const Outcome restore = run({"--simular", "--ini", temp_.file("lote.ini"), "--restaurar", entry.path()});
        EXPECT_EQ(restore.status, 0) << restore.err;
        EXPECT_NE(restore.out.find("Conjunto _BK\n"), std::string::npos) << restore.out;
        EXPECT_EQ(restore.out.find("não confirmada"), std::string::npos) << restore.out;
    }
    EXPECT_EQ(files, 3u);
    const char* results[] = {"removido", "falhou", "removido", "nao_encontrado", "removido"};
    for (std::size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(json["exames"][i]["resultado"], results[i]) << i;
    EXPECT_EQ(json["exames"][1]["vivo"]["estado"], "desfeito");
    EXPECT_EQ(json["resumo"]["removidos"], 3);
}

// What each list holds, whatever its line ends and encoding; the numbers
// after "--" come last. The dry run's JSON names each number it was given.
TEST_F(CommandLineTest, ListsAreReadAsTheirAuthorsWroteThem) {
    auto utf16 = [](const std::u16string& text, bool bigEndian) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : text) {
            const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    struct Case {
        const char* what;
        std::string list;
        std::vector<std::string> numbers;  // empty: refused
        std::string err;
    };
    const std::string longLine(kLongLine, 'x');
    const Case cases[] = {
        {"CR, LF and CR LF", "a\rb\r\nc\n\rd", {"a", "b", "c", "d"}, ""},
        {"UTF-8 with its mark", "\xEF\xBB\xBF\xC3\xA7\xC3\xA3o\n  # x\n\t\n", {"\xC3\xA7\xC3\xA3o"}, ""},
        {"Windows-1252", "\xE7\xE3o\r\n1001\x80", {"\xC3\xA7\xC3\xA3o", "1001\xE2\x82\xAC"}, ""},
        {"UTF-16 LE",
         utf16(u"1001\r\n\u00E7\u00E3o\r\n\U0001F600", false),
         {"1001", "\xC3\xA7\xC3\xA3o", "\xF0\x9F\x98\x80"},
         ""},
        {"UTF-16 BE", utf16(u"# c\r1001\r", true), {"1001"}, ""},
        {"UTF-16 with a lone surrogate",
         utf16(u"1\n2\n", false) + std::string("\x00\xDC", 2),
         {},
         "linha 3: texto UTF-16 inválido"},
        {"a line of 4096 bytes", "a\n" + longLine.substr(1), {"a", longLine.substr(1)}, ""},
        {"a line of 4097 bytes", "a\nb\n" + longLine, {}, "linha 3: linha longa demais"},
        {"1,000,000 lines", std::string(999999, '\n') + "#", {}, ""},
        {"1,000,001 lines", std::string(1000000, '\n') + "x", {}, "linha 1000001: linhas demais"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool refused = !c.err.empty();
        const std::string file = temp_.write("lista", c.list);
        for (const std::string& name : {file, std::string("-")}) {
            const Outcome r =
                run({"--simular", "--ini", ini_, "--formato", "json", "--lista", name, "--", "-5"}, c.list);
            EXPECT_EQ(r.status, refused ? 2 : 1) << r.err;
            if (refused) {
                EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
                EXPECT_EQ(r.out, "");
                continue;
            }
            std::vector<std::string> numbers;
            const auto document = nlohmann::json::parse(r.out);
            for (const auto& exam : document["exames"]) numbers.push_back(exam["exame"]);
            std::vector<std::string> expected = c.numbers;
            expected.push_back("-5");
            EXPECT_EQ(numbers, expected);
        }
    }
}

// An empty number is the window's empty text box: the prompt, and no query,
// in the dry run as in the removal. Without the Exame table any query fails.
TEST_F(CommandLineTest, AnEmptyNumberAsksForOneWithoutQuerying) {
    cn_->Execute("ALTER TABLE Exame RENAME TO Exame_Fora");
    for (const char* mode : {"--simular", "--confirmar"}) {
        SCOPED_TRACE(mode);
        const Outcome r = run({mode, "--ini", ini_, "--exame", ""});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.out.find("Exame \"\": número vazio\n"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("exame \"\": Digite o número de exame que deseja remover.\n"), std::string::npos)
            << r.err;
    }
}

// The document written one examination at a time is the one dump(2) writes.
TEST(CommandLineJson, WrittenPieceByPieceAsTheWholeDocument) {
    app::cli::ExamResult found{"1001", app::cli::Kind::Done, "seria_removido", "", "", {}};
    found.sets[0].end = removal::CascadeReport::End::Committed;
    found.sets[0].removed.push_back({"Exame", 1});
    const app::cli::ExamResult odd{"\xFF\"\n", app::cli::Kind::Failed, "falhou", "", "erro\n", {}};
    const nlohmann::ordered_json summary = {{"exames", 2}, {"linhas", nlohmann::ordered_json::object()}};
    for (std::size_t count = 0; count <= 2; ++count) {
        std::ostringstream streamed;
        app::cli::JsonWriter writer(streamed, true);
        nlohmann::ordered_json document = {{"modo", "simular"}, {"exames", nlohmann::ordered_json::array()}};
        for (std::size_t i = 0; i < count; ++i) {
            const auto exam = app::cli::toJson(i ? odd : found, true);
            writer.Add(exam);
            document["exames"].push_back(exam);
        }
        writer.Finish(summary);
        document["resumo"] = summary;
        EXPECT_EQ(streamed.str(),
                  document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
    }
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
    // The attempt's final records, past those of each set's commit.
    auto next = [&](const std::string& event) {
        for (;;) {
            auto fields = LogFields(receiver_.Next());
            if (fields.empty() || fields.at("evento") == event) return fields;
        }
    };
    EXPECT_EQ(next("remocao_exame").count("copia"), 0u) << "nothing was written for the refused run";
    EXPECT_EQ(next("remocao_exame").at("copia").substr(0, copies.size() + 2), "\"" + copies + "/");

    // Put back from the command line: the dry run changes nothing, the restore gives the rows back.
    const std::string file = std::filesystem::directory_iterator(copies)->path().string();
    const Snapshot removedState = TakeSnapshot(*cn_);
    const Outcome dryRun = run({"--simular", "--ini", ini_, "--restaurar", file});
    EXPECT_EQ(dryRun.status, 0) << dryRun.err;
    EXPECT_NE(dryRun.out.find("Seria restaurado o exame \"" + seed.both.front() + "\":\n  Conjunto vivo\n    Exame: 1\n"),
              std::string::npos)
        << dryRun.out;
    EXPECT_EQ(TakeSnapshot(*cn_), removedState);
    EXPECT_EQ(next("restauracao_exame").at("resultado"), "simulado");
    const Outcome restored = run({"--confirmar", "--ini", ini_, "--restaurar", file});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(TakeSnapshot(*cn_), before);
    const auto record = next("restauracao_exame");
    EXPECT_EQ(record.at("resultado"), "restaurado");
    EXPECT_EQ(run({"--confirmar", "--ini", ini_, "--restaurar", file}).status, 2);
}

}  // namespace

// The main window's decisions without a window: start-up (Form_Load) and the
// click of "Remover", through the toolkit double.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>

#include "DE.h"
#include "ErrorMessages.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "LogReceiver.h"
#include "Module1.h"
#include "StartupTest.h"
#include "TempDir.h"
#include "TextCase.h"
#include "frmPrincipalCore.h"

namespace {

const std::string kConnectionSentence = "Ao abrir a conexão com o banco de dados ocoreu o seguinte erro.";

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

using FrmPrincipalCoreTest = testing_support::StartupTest;

TEST_F(FrmPrincipalCoreTest, MissingConfigurationFileIsNamedInUpperCase) {
    useWindowsDirectory(temp.path() / "configuração");
    app::frmPrincipalCore w(ui);

    EXPECT_FALSE(w.Load());

    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].prompt, "Não foi encontrado o arquivo '" + upperAscii(temp.path().string()) +
                                      "/CONFIGURAÇÃO/QUELVOMIR.INI.'");
    EXPECT_EQ(ui.calls[0].title, "Atenção!");
    EXPECT_EQ(ui.calls[0].buttons, platform::vbOKOnly);
    expectEnded();
}

TEST_F(FrmPrincipalCoreTest, ConnectionFailureShowsNumberAndText) {
    const std::string afterSentence = "\r\n\r\nErro nº ";
    struct Case {
        const char* name;
        std::string ini;
        std::string numberPattern;
    } cases[] = {
        {"no CONN_SERVER line", "[Quelvomir]\r\nCONN_LOCAL=Provider=SQLite;Data Source=x.db\r\n", "-?[0-9]+"},
        {"only empty CONN_SERVER lines", "[Quelvomir]\r\nCONN_SERVER=\r\nCONN_SERVER=   \r\n", "-?[0-9]+"},
        {"database file unreachable",
         "CONN_SERVER=Provider=SQLite;Data Source=" + temp.file("sem-pasta/exames.db") + "\r\n",
         "-2147[0-9]{6}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::FakeToolkit caseUi;
        useWindowsDirectory(temp.path() / c.name, c.ini);
        app::frmPrincipalCore w(caseUi);

        EXPECT_FALSE(w.Load());

        ASSERT_EQ(caseUi.calls.size(), 1u);
        const std::string& prompt = caseUi.calls[0].prompt;
        ASSERT_EQ(prompt.substr(0, kConnectionSentence.size() + afterSentence.size()),
                  kConnectionSentence + afterSentence);
        const std::string rest = prompt.substr(kConnectionSentence.size() + afterSentence.size());
        std::smatch m;
        ASSERT_TRUE(std::regex_match(rest, m, std::regex("(" + c.numberPattern + ") - (.+)"))) << rest;
        EXPECT_EQ(m[2].str(), platform::StandardErrorText(std::stoi(m[1].str())));
        EXPECT_EQ(caseUi.calls[0].title, "Atenção!");
        EXPECT_EQ(caseUi.calls[0].buttons, platform::vbOKOnly);
        EXPECT_TRUE(caseUi.Ended());
        EXPECT_NE(caseUi.ExitCode(), 0);
    }
}

TEST_F(FrmPrincipalCoreTest, UnknownProviderMessageByteForByte) {
    useWindowsDirectory(temp.path(), "CONN_SERVER=Provider=Quelvomir.Banco.1;Data Source=x\r\n");
    app::frmPrincipalCore w(ui);
    EXPECT_FALSE(w.Load());
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].prompt,
              "Ao abrir a conexão com o banco de dados ocoreu o seguinte erro.\r\n\r\nErro nº 3706 - Não é "
              "possível "
              "encontrar o provedor. Ele pode não estar instalado corretamente");
    expectEnded();
}

TEST_F(FrmPrincipalCoreTest, UnreadableConfigurationFileEndsWithTheRunTimeErrorReport) {
    // A directory where the file should be: it exists, but cannot be read as a
    // file (whoever runs the test, root included).
    useWindowsDirectory(temp.path());
    std::filesystem::create_directory(temp.path() / "Quelvomir.INI");
    app::frmPrincipalCore w(ui);

    EXPECT_FALSE(w.Load());

    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].prompt.rfind("Erro em tempo de execução '", 0), 0u) << ui.calls[0].prompt;
    EXPECT_EQ(ui.calls[0].title, "Quelvomir 4.0 - Remover exame");
    expectEnded();
}

TEST_F(FrmPrincipalCoreTest, SuccessOpensTheConnectionAndTheClickTakesTheNumberAsTyped) {
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(temp.file("exames.db"));
    useWindowsDirectory(temp.path(), "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n");
    app::frmPrincipalCore w(ui);

    ASSERT_TRUE(w.Load());
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_FALSE(ui.Ended());
    EXPECT_EQ(DE::Instance().Conexão_Atual().State(), ado::adStateOpen);
    EXPECT_EQ(DE::Instance().Conexão_Atual().ConnectionString(), connectionString);

    ui.AnswerNext(platform::vbCancel);
    w.ClickRemover("1004");
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].prompt, "Tem certeza que deseja remover o exame '1004'");
    EXPECT_EQ(ui.calls[0].buttons, platform::vbOKCancel);
    w.ClickRemover(" 1004");
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].prompt, "Exame não localizado.");
    EXPECT_FALSE(ui.Ended());
}

TEST_F(FrmPrincipalCoreTest, EveryClickThatReachesTheDatabaseIsRecordedInTheLog) {
    useWindowsDirectory(temp.path(),
                        "CONN_SERVER=" + testing_support::CreateSqliteExamDatabase(temp.file("e.db")));
    testing_support::LogReceiver receiver;
    platform::LocalSyslog log(receiver.path());
    app::frmPrincipalCore w(ui, &log);
    ASSERT_TRUE(w.Load());

    w.ClickRemover("");
    w.ClickRemover("1004");
    const auto fields = testing_support::LogFields(receiver.NextFinal());
    EXPECT_EQ(fields.at("origem"), "janela");
    EXPECT_EQ(fields.at("exame"), "\"1004\"");
    EXPECT_EQ(fields.at("resultado"), "removido");
    EXPECT_EQ(fields.at("arquivo"), "\"" + temp.file("e.db") + "\"");
    EXPECT_EQ(receiver.Next(false), "") << "the empty number never reached the database";
}

TEST_F(FrmPrincipalCoreTest, ACloseRequestDuringARemovalClosesTheWindowWhenItEnds) {
    useWindowsDirectory(temp.path(),
                        "CONN_SERVER=" + testing_support::CreateSqliteExamDatabase(temp.file("e.db")));
    app::frmPrincipalCore w(ui);
    ASSERT_TRUE(w.Load());
    EXPECT_TRUE(w.RequestClose()) << "no removal runs";
    const struct {
        const char* name;
        bool closeAsked;
        bool programEnds;
        bool closes;
    } cases[] = {
        {"close asked", true, false, true},
        {"no close asked after one was", false, false, false},
        {"close asked, then the program ended", true, true, false},  // last: ending is for good
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t boxes = ui.calls.size();
        ui.onMessageBox = [&](const testing_support::MessageBoxCall&) {
            EXPECT_TRUE(w.Busy());
            EXPECT_FALSE(w.ClickRemover("1004")) << "a second click inside the removal";
            if (c.closeAsked) {
                EXPECT_FALSE(w.RequestClose());
            }
            if (c.programEnds) ui.End(2);
        };
        ui.AnswerNext(platform::vbCancel);
        EXPECT_EQ(w.ClickRemover("1004"), c.closes);
        EXPECT_FALSE(w.Busy());
        EXPECT_EQ(ui.calls.size(), boxes + 1) << "only the confirmation, once";
    }
    ui.onMessageBox = nullptr;
}

TEST(UpperCaseTest, LettersOneForOneAndForeignBytesKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"/tmp/configuração/quelvomir.ini", "/TMP/CONFIGURAÇÃO/QUELVOMIR.INI"},
        {"straße ÿ ǆ ω", "STRAßE Ÿ Ǆ Ω"},
        {"c:\\windows\\", "C:\\WINDOWS\\"},
        {"caf\xe9/\xff", "CAF\xe9/\xff"},      // Windows-1252, not UTF-8
        {"\xc0\xaf-a", "\xc0\xaf-A"},          // an overlong form is not UTF-8
        {"\xed\xa0\x80-a", "\xed\xa0\x80-A"},  // nor is a surrogate
        {"", ""},
    };
    for (const auto& [text, upper] : cases) EXPECT_EQ(platform::UpperCase(text), upper) << text;
    // Keys, provider and driver names: the ASCII letters only, whatever the locale.
    EXPECT_EQ(platform::UpperAscii("Provider=sqlite.1;é\xe9~z{"), "PROVIDER=SQLITE.1;é\xe9~Z{");
}

// Label1 keeps its place while its caption fits; otherwise it grows to the
// left by what the caption lacks, up to the window's left edge.
TEST(Label1LeftTest, GrowsLeftwardsOnlyAsFarAsTheCaptionNeeds) {
    using Core = app::frmPrincipalCore;
    const struct {
        int left, right, needed, expected;
    } cases[] = {
        {46, 121, 60, 46},  {46, 121, 75, 46}, {46, 121, 76, 45},
        {46, 121, 100, 21}, {46, 121, 121, 0}, {46, 121, 500, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Core::Label1Left(c.left, c.right, c.needed), c.expected) << c.needed;
}

}  // namespace

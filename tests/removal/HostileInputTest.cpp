// A corpus of hostile examination numbers run through the whole command and
// both cascades, on SQLite and on MariaDB: nothing of any examination changes,
// nothing crashes, and every typed text stays one text literal.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CascadeDelete.h"
#include "ExamBackends.h"
#include "ExamTables.h"
#include "FakeToolkit.h"
#include "RemoveExamCommand.h"
#include "ado/Recordset.h"

namespace {

using namespace testing_support;

std::string rightTrimmedSpaces(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Texts an operator could type or paste, built from pieces that have broken
// SQL before: quotes of every kind, comment markers, terminators, wildcards,
// escapes, letters from other scripts, invisible and control characters, and
// the numbers of real examinations wrapped in all of these.
std::vector<std::string> HostileCorpus(const std::vector<std::string>& existing) {
    const std::vector<std::string> pieces = {
        "'", "''", "'''", "\"", "`", "´", "\xE2\x80\x98", "\xE2\x80\x99", "\xE2\x80\x9C", "\xCA\xBC",  // ‘ ’ “ ʼ
        "--", "/*", "*/", "#", ";", "%", "_", "*", "?", "[", "]", "\\", "\\'", "\\\\'", "{Exame}", "{N}",
        "S\xC3\xA3o Jo\xC3\xA3o",                        // São João
        "e\xCC\x81\xCC\xA7",                             // e + combining acute + cedilla
        "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",              // Hebrew
        "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85",              // Arabic
        "\xE2\x80\xAE" "1001",                            // right-to-left override
        "\xE2\x80\x8B", "\xEF\xBB\xBF",                   // zero-width space, BOM
        "\xF0\x9F\xA9\xBA",                               // an emoji outside the BMP
        "\t", "\r", "\n", "\r\n", "\x01", "\x1B", "\x7F",
    };
    const std::vector<std::string> attacks = {
        "' OR '1'='1",
        "') OR ('1'='1",
        "' OR 1=1 --",
        "' OR 1=1 #",
        "'; DELETE FROM Exame; --",
        "'); DELETE FROM Exame_BK; --",
        "' UNION SELECT count(*) FROM Exame --",
        "' OR Número_Exame LIKE '%",
        "' OR Número_Exame <> '",
        "\\' OR 1=1 -- ",
        "'||'",
        "'+'",
        "' AND 0=1) OR ((('1'='1",
        "')); DROP TABLE Exame; --",
        "1 OR 1=1",
        "0x31303031",
        "CHAR(49,48,48,49)",
    };

    std::vector<std::string> corpus;
    std::set<std::string> seen;
    auto add = [&](const std::string& text) {
        if (seen.insert(text).second) corpus.push_back(text);
    };
    std::vector<std::string> all = pieces;
    all.push_back(std::string(1, '\0'));
    all.push_back("10" + std::string(1, '\0') + "' OR '1'='1");
    for (const auto& p : all) {
        add(p);
        add(p + p);
        add("1001" + p);
        add(p + "1001");
        add("10" + p + "01");
    }
    for (const auto& a : attacks) {
        add(a);
        for (const auto& n : existing) add(n + a);
    }
    for (const auto& n : existing) {
        add(" " + n + " ");
        add(" " + n);
        add(n + " ");
        add("'" + n + "'");
        add("\"" + n + "\"");
        add(n + "%");
        add(n.substr(0, n.size() - 1) + "_");
        add("%" + n.substr(1));
        add(n + "\n");
        add("\t" + n);
        add("0" + n);
        add(n + ".0");
    }
    add(std::string(1 << 20, '9'));                 // a megabyte of digits
    add(std::string(65536, '\''));                  // sixty-four thousand quotes
    add("1001" + std::string(100000, ' '));        // the number with a long tail of spaces
    std::string mixed;
    while (mixed.size() < (1 << 20)) mixed += "'; -- \xC3\xA7\\%_\"";
    add(mixed);
    return corpus;
}

class HostileInput : public ::testing::TestWithParam<BackendFactory> {};

TEST_P(HostileInput, NoTypedTextRemovesOrBreaksAnything) {
    auto backend = GetParam()();
    ado::Connection cn(backend->Fresh(Twins::Included));
    cn.Open();
    const SeedNumbers seed = FindSeedNumbers(cn);
    std::vector<std::string> existing = seed.liveOnly;
    existing.insert(existing.end(), seed.twinsOnly.begin(), seed.twinsOnly.end());
    existing.insert(existing.end(), seed.both.begin(), seed.both.end());
    const std::set<std::string> existingSet(existing.begin(), existing.end());
    const Snapshot before = TakeSnapshot(cn);

    const auto corpus = HostileCorpus(existing);
    ASSERT_GE(corpus.size(), 200u);
    std::size_t rejected = 0;
    for (const auto& number : corpus) {
        SCOPED_TRACE("typed '" + number.substr(0, 60) + "' (" + std::to_string(number.size()) + " bytes)");
        // A database that ignores trailing spaces when it compares text (as
        // SQL Server and MariaDB do) finds "1001 " as 1001; the operator is
        // then asked about it and, here, says no.
        const bool sameAsAnExamination = existingSet.count(rightTrimmedSpaces(number)) > 0;
        const bool holdsNul = number.find('\0') != std::string::npos;

        FakeToolkit ui;
        ui.AnswerNext(platform::vbCancel);
        removal::cmdAtualizar_Click(number, cn, ui);
        ASSERT_EQ(ui.calls.size(), 1u);
        const std::string& prompt = ui.calls[0].prompt;
        if (holdsNul) {
            // Refused before any driver sees it, as a command with errors.
            EXPECT_EQ(prompt,
                      "Ao verificar se o exame existe ocorreu o seguinte erro:-2147217900 - O comando contém "
                      "um ou mais erros");
            ++rejected;
            continue;
        }
        if (sameAsAnExamination && prompt != "Exame não localizado.")
            EXPECT_EQ(prompt, "Tem certeza que deseja remover o exame '" + number + "'");
        else
            EXPECT_EQ(prompt, "Exame não localizado.");

        // The database reads the literal back as exactly the typed text.
        ado::Recordset literal;
        literal.Open("SELECT " + removal::QuoteText(number), cn);
        EXPECT_EQ(ado::ToText(literal.Fields(0).Value()), number);

        if (sameAsAnExamination) continue;
        // Both cascades run to the end and commit, matching nothing.
        FakeToolkit cascadeUi;
        EXPECT_TRUE(removal::Deleta_Exame_em_Cascata(cn, number, "", cascadeUi));
        EXPECT_TRUE(removal::Deleta_Exame_em_Cascata(cn, number, "_BK", cascadeUi));
        EXPECT_TRUE(cascadeUi.calls.empty());
    }
    EXPECT_EQ(TakeSnapshot(cn), before);
    std::cout << corpus.size() << " hostile numbers tried, " << rejected << " rejected by the database\n";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, HostileInput, ::testing::Values(SqliteExamBackend()), DatabaseName);
INSTANTIATE_TEST_SUITE_P(MariaDb, HostileInput, ::testing::Values(MariaDbExamBackend()), DatabaseName);

}  // namespace

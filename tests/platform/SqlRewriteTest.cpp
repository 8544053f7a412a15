#include "ado/SqlRewrite.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <random>
#include <string>

namespace {

using ado::IsBlankSql;
using ado::LeadingKeyword;
using ado::RewriteDeleteJoin;

struct RewriteCase {
    const char* name;
    std::string input;
    std::optional<std::string> expected;  // nothing: the text goes to SQLite unchanged
};

TEST(SqlRewrite, RewritesExactlyTheDeleteJoinForm) {
    const RewriteCase cases[] = {
        {"removal statement 13", "DELETE Exame FROM Exame WHERE (((Exame.Número_Exame)='123'));",
         "DELETE FROM Exame AS sqlite_delete_target WHERE rowid IN (SELECT Exame.rowid FROM Exame WHERE "
         "(((Exame.Número_Exame)='123')))"},
        {"removal statement 1, runs of spaces kept inside the join",
         "DELETE Aplique_BK FROM Aplique_BK   INNER JOIN  (Exame_Imagem_BK  INNER JOIN  (Exame_Página_BK  "
         "INNER "
         "JOIN Exame_BK ON Exame_Página_BK.Número_Exame  = Exame_BK.Número_Exame)  ON "
         "Exame_Imagem_BK.ID_Página     "
         "= Exame_Página_BK.ID_Página)  ON Aplique_BK.Id_Imagem          = Exame_Imagem_BK.ID_Imagem WHERE "
         "(((Exame_BK.Número_Exame)='7'));",
         "DELETE FROM Aplique_BK AS sqlite_delete_target WHERE rowid IN (SELECT Aplique_BK.rowid FROM "
         "Aplique_BK   "
         "INNER JOIN  (Exame_Imagem_BK  INNER JOIN  (Exame_Página_BK  INNER JOIN Exame_BK ON "
         "Exame_Página_BK.Número_Exame  = Exame_BK.Número_Exame)  ON Exame_Imagem_BK.ID_Página     = "
         "Exame_Página_BK.ID_Página)  ON Aplique_BK.Id_Imagem          = Exame_Imagem_BK.ID_Imagem WHERE "
         "(((Exame_BK.Número_Exame)='7')))"},
        {"two spaces after DELETE, left-nested join",
         "DELETE  Exame_Imagem FROM (Exame INNER JOIN Exame_Página ON Exame.Número_Exame = "
         "Exame_Página.Número_Exame) INNER JOIN Exame_Imagem ON Exame_Página.ID_Página = "
         "Exame_Imagem.ID_Página "
         "WHERE (((Exame.Número_Exame)='1'));",
         "DELETE FROM Exame_Imagem AS sqlite_delete_target WHERE rowid IN (SELECT Exame_Imagem.rowid FROM "
         "(Exame "
         "INNER JOIN Exame_Página ON Exame.Número_Exame = Exame_Página.Número_Exame) INNER JOIN Exame_Imagem "
         "ON "
         "Exame_Página.ID_Página = Exame_Imagem.ID_Página WHERE (((Exame.Número_Exame)='1')))"},
        {"\"From\" and lower-case keywords", "delete Exame_BK From Exame_BK where a=1",
         "DELETE FROM Exame_BK AS sqlite_delete_target WHERE rowid IN (SELECT Exame_BK.rowid FROM Exame_BK "
         "where a=1)"},
        {"literal holding FROM, a terminator and doubled quotes",
         "DELETE t FROM t WHERE a=' FROM x; it''s' ;  ",
         "DELETE FROM t AS sqlite_delete_target WHERE rowid IN (SELECT t.rowid FROM t WHERE a=' FROM x; "
         "it''s')"},
        {"comments between the parts and after the end",
         "/* lead */ DELETE -- why\n t /* it's; */ FROM\tt WHERE a=1 -- 'open\n; /* done */ ;",
         "DELETE FROM t AS sqlite_delete_target WHERE rowid IN (SELECT t.rowid FROM t WHERE a=1)"},
        {"line comment inside the join stays, ended by its line feed",
         "DELETE t FROM t -- first table\nWHERE a=1",
         "DELETE FROM t AS sqlite_delete_target WHERE rowid IN (SELECT t.rowid FROM t -- first table\nWHERE "
         "a=1)"},
        {"unclosed block comment at the end is dropped", "DELETE t FROM t WHERE a=1 /* open",
         "DELETE FROM t AS sqlite_delete_target WHERE rowid IN (SELECT t.rowid FROM t WHERE a=1)"},
        {"quoted names with ; and doubled quotes",
         "DELETE [Exame Velho] FROM [Exame Velho] WHERE \"a;\"\"b\"=`c;``d`",
         "DELETE FROM [Exame Velho] AS sqlite_delete_target WHERE rowid IN (SELECT [Exame Velho].rowid FROM "
         "[Exame "
         "Velho] WHERE \"a;\"\"b\"=`c;``d`)"},
        {"several terminators", "DELETE t FROM t;;  ;",
         "DELETE FROM t AS sqlite_delete_target WHERE rowid IN (SELECT t.rowid FROM t)"},
        {"plain DELETE FROM", "DELETE FROM Exame WHERE Número_Exame='1';", std::nullopt},
        {"DELETE FROM with a literal that looks like the form", "DELETE FROM t WHERE a='DELETE x FROM y'",
         std::nullopt},
        {"SELECT", "SELECT 'DELETE x FROM y' FROM t", std::nullopt},
        {"the form inside a comment", "-- DELETE x FROM y\nSELECT 1", std::nullopt},
        {"unterminated literal", "DELETE t FROM t WHERE a='1;", std::nullopt},
        {"unterminated bracket", "DELETE t FROM t WHERE [a=1", std::nullopt},
        {"second statement after ;", "DELETE t FROM t; DROP TABLE u", std::nullopt},
        {"nothing after FROM", "DELETE t FROM ;", std::nullopt},
        {"two targets", "DELETE t, u FROM t, u", std::nullopt},
        {"qualified target", "DELETE main.t FROM main.t", std::nullopt},
        {"DELETE glued to the name", "DELETEt FROM t", std::nullopt},
        {"literal as target", "DELETE 't' FROM t", std::nullopt},
        {"empty", "", std::nullopt},
        {"only white space and ;", " \n;\t; ", std::nullopt},
        {"DELETE alone", "DELETE", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RewriteDeleteJoin(c.input), c.expected);
    }
}

TEST(SqlRewrite, BlankTextAndLeadingKeyword) {
    struct Case {
        std::string text;
        bool blank;
        std::string keyword;
    };
    const Case cases[] = {
        {"", true, ""},
        {" ;\n; -- x\n /* y */", true, ""},
        {"/* unclosed", true, ""},
        {"; x", false, ""},
        {"'--'", false, ""},
        {"  /* c */ delete FROM t", false, "DELETE"},
        {"-- c\nWith x AS (SELECT 1) DELETE FROM t", false, "WITH"},
        {"\"DELETE\" FROM t", false, ""},
        {"\x01", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsBlankSql(c.text), c.blank);
        EXPECT_EQ(LeadingKeyword(c.text), c.keyword);
    }
}

// Every prefix of a real statement, and random bytes drawn mostly from the
// characters that steer the scanner, must come back without a crash; the
// sanitizer build checks that nothing is read out of bounds.
TEST(SqlRewrite, AnyInputIsSafe) {
    const std::string statement =
        "DELETE Aplique FROM Aplique INNER JOIN [x] ON \"a\"=`b` WHERE (c='it''s' /* ; */) -- e\n;";
    for (std::size_t n = 0; n <= statement.size(); ++n) {
        const std::string prefix = statement.substr(0, n);
        (void)RewriteDeleteJoin(prefix);
        (void)IsBlankSql(prefix);
        (void)LeadingKeyword(prefix);
    }
    std::mt19937 random(20240611);
    const std::string alphabet = "DELETEFROMdf t;'\"`[]-/*\n\xc3\xba(";
    for (int i = 0; i < 20000; ++i) {
        std::string text(random() % 40, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        (void)RewriteDeleteJoin(text);
        (void)RewriteDeleteJoin("DELETE t FROM " + text);
    }
}

// A scanner that restarts a search at every quote or comment opener would take
// minutes on these; a linear one takes milliseconds.
TEST(SqlRewrite, LongHostileTextsRunInLinearTime) {
    const std::size_t size = 1 << 21;
    const std::string texts[] = {
        "DELETE t FROM t WHERE a=" + std::string(size, '\''),
        "DELETE t FROM t WHERE a=" + std::string(size, '['),
        "DELETE t FROM t WHERE " + std::string(size, '-'),
        [&] {
            std::string s = "DELETE t FROM t WHERE ";
            while (s.size() < size) s += "/*/";
            return s;
        }(),
        [&] {
            std::string s = "DELETE t FROM t WHERE ";
            while (s.size() < size) s += "'' ; ";
            return s;
        }(),
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& text : texts) {
        (void)RewriteDeleteJoin(text);
        (void)IsBlankSql(text);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace

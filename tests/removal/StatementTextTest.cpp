// The statement texts exactly as the removal sends them, compared with texts
// written out by hand.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ExamTables.h"

namespace {

using namespace removal;

const std::array<std::string, 13> kLiveCascade123 = {
    "DELETE Aplique FROM Aplique   INNER JOIN  (Exame_Imagem  INNER JOIN  (Exame_Página  INNER JOIN Exame ON "
    "Exame_Página.Número_Exame  = Exame.Número_Exame)  ON Exame_Imagem.ID_Página     = "
    "Exame_Página.ID_Página)  ON Aplique.Id_Imagem          = Exame_Imagem.ID_Imagem WHERE "
    "(((Exame.Número_Exame)='123'));",
    "DELETE Exame_Imagem_Backup FROM Exame_Imagem_Backup   INNER JOIN  (Exame_Imagem  INNER JOIN  "
    "(Exame_Página  INNER JOIN  Exame ON Exame_Página.Número_Exame  = Exame.Número_Exame)  ON "
    "Exame_Imagem.ID_Página     = Exame_Página.ID_Página)  ON Exame_Imagem_Backup.Id_Imagem          = "
    "Exame_Imagem.ID_Imagem WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Imagem FROM Exame_Imagem INNER JOIN  (Exame_Página  INNER JOIN  Exame ON "
    "Exame_Página.Número_Exame = Exame.Número_Exame)  ON Exame_Imagem.ID_Página = Exame_Página.ID_Página "
    "WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Página FROM Exame_Página INNER JOIN  Exame ON Exame_Página.Número_Exame = "
    "Exame.Número_Exame WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Descritivo FROM Exame_Descritivo INNER JOIN  Exame ON Exame_Descritivo.Número_Exame = "
    "Exame.Número_Exame WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Bethesda FROM Bethesda INNER JOIN  Exame ON Bethesda.Número_Exame = Exame.Número_Exame WHERE "
    "(((Exame.Número_Exame)='123'));",
    "DELETE Exame_Etapa_Histórico FROM Exame_Etapa_Histórico INNER JOIN  (Exame_Etapa  INNER JOIN  Exame ON "
    "Exame_Etapa.Número_Exame = Exame.Número_Exame)  ON Exame_Etapa_Histórico.ID_Exame_Etapa = "
    "Exame_Etapa.ID_Exame_Etapa WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Etapa_Imprimir FROM Exame_Etapa_Imprimir INNER JOIN  (Exame_Etapa  INNER JOIN  Exame ON "
    "Exame_Etapa.Número_Exame = Exame.Número_Exame)  ON Exame_Etapa_Imprimir.ID_Exame_Etapa = "
    "Exame_Etapa.ID_Exame_Etapa WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Etapa FROM Exame_Etapa INNER JOIN  Exame ON Exame_Etapa.Número_Exame = Exame.Número_Exame "
    "WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_CID FROM Exame_CID INNER JOIN  Exame ON Exame_CID.Número_Exame = Exame.Número_Exame WHERE "
    "(((Exame.Número_Exame)='123'));",
    "DELETE Exame_Descritivo_Impressão_Tipo FROM Exame_Descritivo_Impressão_Tipo INNER JOIN  Exame ON "
    "Exame_Descritivo_Impressão_Tipo.Número_Exame = Exame.Número_Exame WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Responsável FROM Exame_Responsável INNER JOIN  Exame ON Exame_Responsável.Número_Exame = "
    "Exame.Número_Exame WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame FROM Exame WHERE (((Exame.Número_Exame)='123'));",
};
const std::array<std::string, 13> kTwinCascade123 = {
    "DELETE Aplique_BK FROM Aplique_BK   INNER JOIN  (Exame_Imagem_BK  INNER JOIN  (Exame_Página_BK  INNER "
    "JOIN Exame_BK ON Exame_Página_BK.Número_Exame  = Exame_BK.Número_Exame)  ON Exame_Imagem_BK.ID_Página   "
    "  = Exame_Página_BK.ID_Página)  ON Aplique_BK.Id_Imagem          = Exame_Imagem_BK.ID_Imagem WHERE "
    "(((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Imagem_Backup_BK FROM Exame_Imagem_Backup_BK   INNER JOIN  (Exame_Imagem_BK  INNER JOIN  "
    "(Exame_Página_BK  INNER JOIN  Exame_BK ON Exame_Página_BK.Número_Exame  = Exame_BK.Número_Exame)  ON "
    "Exame_Imagem_BK.ID_Página     = Exame_Página_BK.ID_Página)  ON Exame_Imagem_Backup_BK.Id_Imagem         "
    " = Exame_Imagem_BK.ID_Imagem WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Imagem_BK FROM Exame_Imagem_BK INNER JOIN  (Exame_Página_BK  INNER JOIN  Exame_BK ON "
    "Exame_Página_BK.Número_Exame = Exame_BK.Número_Exame)  ON Exame_Imagem_BK.ID_Página = "
    "Exame_Página_BK.ID_Página WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Página_BK FROM Exame_Página_BK INNER JOIN  Exame_BK ON Exame_Página_BK.Número_Exame = "
    "Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Descritivo_BK FROM Exame_Descritivo_BK INNER JOIN  Exame_BK ON "
    "Exame_Descritivo_BK.Número_Exame = Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Bethesda_BK FROM Bethesda_BK INNER JOIN  Exame_BK ON Bethesda_BK.Número_Exame = "
    "Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Etapa_Histórico_BK FROM Exame_Etapa_Histórico_BK INNER JOIN  (Exame_Etapa_BK  INNER JOIN  "
    "Exame_BK ON Exame_Etapa_BK.Número_Exame = Exame_BK.Número_Exame)  ON "
    "Exame_Etapa_Histórico_BK.ID_Exame_Etapa = Exame_Etapa_BK.ID_Exame_Etapa WHERE "
    "(((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Etapa_Imprimir_BK FROM Exame_Etapa_Imprimir_BK INNER JOIN  (Exame_Etapa_BK  INNER JOIN  "
    "Exame_BK ON Exame_Etapa_BK.Número_Exame = Exame_BK.Número_Exame)  ON "
    "Exame_Etapa_Imprimir_BK.ID_Exame_Etapa = Exame_Etapa_BK.ID_Exame_Etapa WHERE "
    "(((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Etapa_BK FROM Exame_Etapa_BK INNER JOIN  Exame_BK ON Exame_Etapa_BK.Número_Exame = "
    "Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_CID_BK FROM Exame_CID_BK INNER JOIN  Exame_BK ON Exame_CID_BK.Número_Exame = "
    "Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Descritivo_Impressão_Tipo_BK FROM Exame_Descritivo_Impressão_Tipo_BK INNER JOIN  Exame_BK "
    "ON Exame_Descritivo_Impressão_Tipo_BK.Número_Exame = Exame_BK.Número_Exame WHERE "
    "(((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Responsável_BK FROM Exame_Responsável_BK INNER JOIN  Exame_BK ON "
    "Exame_Responsável_BK.Número_Exame = Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_BK FROM Exame_BK WHERE (((Exame_BK.Número_Exame)='123'));",
};
const std::array<std::string, 6> kLiveLegacy123 = {
    "DELETE Aplique FROM ((Exame INNER JOIN Exame_Página ON Exame.Número_Exame = Exame_Página.Número_Exame) "
    "INNER JOIN Exame_Imagem ON Exame_Página.ID_Página = Exame_Imagem.ID_Página) INNER JOIN Aplique ON "
    "Exame_Imagem.ID_Imagem = Aplique.Id_Imagem WHERE (((Exame.Número_Exame)='123'));",
    "DELETE  Exame_Imagem FROM (Exame INNER JOIN Exame_Página ON Exame.Número_Exame = "
    "Exame_Página.Número_Exame) INNER JOIN Exame_Imagem ON Exame_Página.ID_Página = Exame_Imagem.ID_Página "
    "WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Página FROM Exame INNER JOIN Exame_Página ON Exame.Número_Exame = "
    "Exame_Página.Número_Exame WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Exame_Descritivo FROM Exame_Descritivo INNER JOIN Exame ON Exame_Descritivo.Número_Exame = "
    "Exame.Número_Exame WHERE (((Exame.Número_Exame)='123'));",
    "DELETE Bethesda FROM Bethesda INNER JOIN Exame ON Bethesda.Número_Exame = Exame.Número_Exame WHERE "
    "(((Exame.Número_Exame)='123'));",
    "DELETE Exame From Exame WHERE (((Exame.Número_Exame)='123'));",
};
const std::array<std::string, 6> kTwinLegacy123 = {
    "DELETE Aplique_BK FROM ((Exame_BK INNER JOIN Exame_Página_BK ON Exame_BK.Número_Exame = "
    "Exame_Página_BK.Número_Exame) INNER JOIN Exame_Imagem_BK ON Exame_Página_BK.ID_Página = "
    "Exame_Imagem_BK.ID_Página) INNER JOIN Aplique_BK ON Exame_Imagem_BK.ID_Imagem = Aplique_BK.Id_Imagem "
    "WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE  Exame_Imagem_BK FROM (Exame_BK INNER JOIN Exame_Página_BK ON Exame_BK.Número_Exame = "
    "Exame_Página_BK.Número_Exame) INNER JOIN Exame_Imagem_BK ON Exame_Página_BK.ID_Página = "
    "Exame_Imagem_BK.ID_Página WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Página_BK FROM Exame_BK INNER JOIN Exame_Página_BK ON Exame_BK.Número_Exame = "
    "Exame_Página_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_Descritivo_BK FROM Exame_Descritivo_BK INNER JOIN Exame_BK ON "
    "Exame_Descritivo_BK.Número_Exame = Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Bethesda_BK FROM Bethesda_BK INNER JOIN Exame_BK ON Bethesda_BK.Número_Exame = "
    "Exame_BK.Número_Exame WHERE (((Exame_BK.Número_Exame)='123'));",
    "DELETE Exame_BK From Exame_BK WHERE (((Exame_BK.Número_Exame)='123'));",
};

TEST(StatementTexts, ExistenceQueriesForBothSets) {
    EXPECT_EQ(ExistenceQuery("123", kLiveTables), "select count(*) from Exame Where Número_Exame = '123'");
    EXPECT_EQ(ExistenceQuery("123", kBackupTables),
              "select count(*) from Exame_BK Where Número_Exame = '123'");
}

TEST(StatementTexts, CascadeForLiveTablesAndTwins) {
    for (std::size_t i = 0; i < kCascadeStatements.size(); ++i) {
        SCOPED_TRACE("statement " + std::to_string(i + 1));
        EXPECT_EQ(CascadeStatementText(kCascadeStatements[i], "123", ""), kLiveCascade123[i]);
        EXPECT_EQ(CascadeStatementText(kCascadeStatements[i], "123", "_BK"), kTwinCascade123[i]);
    }
}

TEST(StatementTexts, CascadeLabelsAndOrder) {
    const std::array<std::string, 13> labels = {
        "Ao remover 'Apliques",
        "Ao remover 'ExameImagemBackup",
        "Ao remover 'ExameImagem",
        "Ao remover 'ExamePágina",
        "Ao remover 'ExameDescritivo",
        "Ao remover 'Bethesda",
        "Ao remover 'ExameEtapaHistórico",
        "Ao remover 'ExameEtapaImprimir",
        "Ao remover 'ExameEtapa",
        "Ao remover 'ExameCID",
        "Ao remover 'ExameDescritivoImpressãoTipo",
        "Ao remover 'ExameResponsável",
        "Ao remover 'Exame",
    };
    for (std::size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(kCascadeStatements[i].label, labels[i]);
}

TEST(StatementTexts, LegacyCascadeForLiveTablesAndTwins) {
    for (std::size_t i = 0; i < kLegacyStatements.size(); ++i) {
        SCOPED_TRACE("statement " + std::to_string(i + 1));
        EXPECT_EQ(LegacyStatementText(kLegacyStatements[i], "123", ""), kLiveLegacy123[i]);
        EXPECT_EQ(LegacyStatementText(kLegacyStatements[i], "123", "_BK"), kTwinLegacy123[i]);
    }
}

// Whatever the operator types stays inside one text literal: quotes are
// doubled, and nothing the number holds is taken for a table placeholder.
TEST(StatementTexts, TypedNumberNeverChangesTheStatementForm) {
    struct Case {
        std::string typed;
        std::string literal;
    };
    const Case cases[] = {
        {"1' OR '1'='1", "'1'' OR ''1''=''1'"},
        {"'", "''''"},
        {"''", "''''''"},
        {"{Exame}", "'{Exame}'"},
        {"{N}", "'{N}'"},
        {"12; DROP TABLE Exame --", "'12; DROP TABLE Exame --'"},
        {"", "''"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(QuoteText(c.typed), c.literal);
        EXPECT_EQ(ExistenceQuery(c.typed, ""),
                  "select count(*) from Exame Where Número_Exame = " + c.literal);
        EXPECT_EQ(CascadeStatementText(kCascadeStatements[12], c.typed, "_BK"),
                  "DELETE Exame_BK FROM Exame_BK WHERE (((Exame_BK.Número_Exame)=" + c.literal + "));");
        EXPECT_EQ(LegacyStatementText(kLegacyStatements[5], c.typed, ""),
                  "DELETE Exame From Exame WHERE (((Exame.Número_Exame)=" + c.literal + "));");
    }
}

}  // namespace

TEST(CountStatementText, CountsWithTheCascadeStatementsOwnJoinsAndFilter) {
    EXPECT_EQ(
        removal::CountStatementText(removal::kCascadeStatements[6], "1'2", "_BK"),
        "SELECT COUNT(*) FROM Exame_Etapa_Histórico_BK INNER JOIN  (Exame_Etapa_BK  INNER JOIN  Exame_BK ON "
        "Exame_Etapa_BK.Número_Exame = Exame_BK.Número_Exame)  ON Exame_Etapa_Histórico_BK.ID_Exame_Etapa = "
        "Exame_Etapa_BK.ID_Exame_Etapa WHERE (((Exame_BK.Número_Exame)='1''2'));");
    EXPECT_EQ(removal::CountStatementText(removal::kCascadeStatements[12], "123", ""),
              "SELECT COUNT(*) FROM Exame WHERE (((Exame.Número_Exame)='123'));");
}

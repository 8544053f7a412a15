// The database class on a real SQLite file: results, the sticky error state
// and the numbers it records.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "TempDir.h"
#include "ado/Recordset.h"
#include "clsADO.h"

namespace {

using testing_support::TempDir;

constexpr std::int32_t kNoTable = -2147217865;        // 0x80040E37
constexpr std::int32_t kNoTransaction = -2147168242;  // 0x8004D00E

class ClsAdoTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("base.db");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        const char* schema =
            "CREATE TABLE Paciente (Número INTEGER PRIMARY KEY, Nome VARCHAR(50), Nascimento DATE, Ativo "
            "BOOLEAN,"
            " Peso REAL);"
            "INSERT INTO Paciente VALUES "
            "(1,'Ana','1980-01-02',1,60.5),(2,'Bia',NULL,0,NULL),(3,'Caio',NULL,1,NULL),"
            " (4,'Davi',NULL,1,NULL);"
            "CREATE TABLE Paciente_BK (Peso REAL, número INTEGER, Nome VARCHAR(50), Extra TEXT);"
            "CREATE VIEW Vista AS SELECT Nome FROM Paciente;";
        ASSERT_EQ(sqlite3_exec(db, schema, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        connectionString_ = "Provider=SQLite;Data Source=" + path_;
    }

    void OpenConnection() { ASSERT_TRUE(ado_.AbrirConexão(cn_, connectionString_)) << ado_.ErrorString(); }

    TempDir dir_;
    std::string path_;
    std::string connectionString_;
    ado::Connection cn_;
    clsADO ado_;
};

TEST_F(ClsAdoTest, ConnectionOpeningAndClosing) {
    EXPECT_EQ(ado_.ErrorNumber(), 0);
    EXPECT_EQ(ado_.ErrorString(), "");

    // An unknown provider: False, ADO's number as a positive 3706, still closed
    // but holding the new string.
    EXPECT_FALSE(ado_.AbrirConexão(cn_, "Provider=Inexistente.1;Data Source=x"));
    EXPECT_EQ(ado_.ErrorNumber(), 3706);
    EXPECT_EQ(ado_.ErrorString(),
              "Não é possível encontrar o provedor. Ele pode não estar instalado corretamente");
    EXPECT_EQ(cn_.State(), ado::adStateClosed);
    EXPECT_EQ(cn_.ConnectionString(), "Provider=Inexistente.1;Data Source=x");

    // A usable string: True, open, the earlier failure still recorded.
    EXPECT_TRUE(ado_.AbrirConexão(cn_, connectionString_));
    EXPECT_EQ(cn_.State(), ado::adStateOpen);
    EXPECT_EQ(ado_.ErrorNumber(), 3706);

    // Already open: the string cannot be replaced, so it fails at once and the
    // connection stays open with its old string.
    clsADO second;
    EXPECT_FALSE(second.AbrirConexão(cn_, "Provider=SQLite;Data Source=/outro.db"));
    EXPECT_EQ(second.ErrorNumber(), 3705);
    EXPECT_EQ(cn_.State(), ado::adStateOpen);
    EXPECT_EQ(cn_.ConnectionString(), connectionString_);

    EXPECT_TRUE(second.FecharConexão(cn_));
    EXPECT_FALSE(second.FecharConexão(cn_));
    EXPECT_EQ(second.ErrorNumber(), 3704);
}

TEST_F(ClsAdoTest, MissingDatabaseFileGivesANegativeNumber) {
    EXPECT_FALSE(ado_.AbrirConexão(cn_, "Provider=SQLite;Data Source=" + dir_.file("nao-existe.db")));
    EXPECT_LT(ado_.ErrorNumber(), 0);
    EXPECT_FALSE(ado_.ErrorString().empty());
    EXPECT_EQ(cn_.State(), ado::adStateClosed);
}

TEST_F(ClsAdoTest, ConnectionStringWithANulIsRefused) {
    const std::string cut = connectionString_ + std::string(1, '\0') + "x";
    EXPECT_FALSE(ado_.AbrirConexão(cn_, cut));
    EXPECT_EQ(ado_.ErrorNumber(), 3001);
    EXPECT_EQ(cn_.State(), ado::adStateClosed);
}

TEST_F(ClsAdoTest, ExecutingStatementsAndTheStickyErrorState) {
    OpenConnection();
    std::int32_t affected = -7;
    EXPECT_TRUE(ado_.ExecutarSQL(cn_, "DELETE FROM Paciente WHERE Ativo = 1", affected));
    EXPECT_EQ(affected, 3);

    EXPECT_FALSE(ado_.ExecutarSQL(cn_, "DELETE FROM Inexistente", affected));
    EXPECT_EQ(ado_.ErrorNumber(), kNoTable);
    EXPECT_EQ(ado_.ErrorString(), "A tabela não existe");

    // A success afterwards leaves the failure in place.
    EXPECT_TRUE(ado_.ExecutarSQL(cn_, "DELETE FROM Paciente", affected));
    EXPECT_EQ(affected, 1);
    EXPECT_EQ(ado_.ErrorNumber(), kNoTable);

    EXPECT_FALSE(ado_.ExecutarSQL(cn_, "DELETE FROM WHERE", affected));
    EXPECT_EQ(ado_.ErrorNumber(), -2147217900);  // 0x80040E14
    EXPECT_EQ(ado_.ErrorString(), "O comando contém um ou mais erros");

    // The setters store without validating.
    ado_.SetErrorNumber(5);
    ado_.SetErrorString("qualquer texto");
    EXPECT_EQ(ado_.ErrorNumber(), 5);
    EXPECT_EQ(ado_.ErrorString(), "qualquer texto");
}

TEST_F(ClsAdoTest, OneRecordsetServesQueryAfterQuery) {
    OpenConnection();
    ado::Recordset rs;
    ASSERT_TRUE(ado_.AbrirRecordset(cn_, rs, "select count(*) from Paciente Where Nome = 'Ana'"));
    EXPECT_EQ(ado::ToInteger(rs.Fields(0).Value()), 1);
    // Still open: reopened on the new query.
    ASSERT_TRUE(ado_.AbrirRecordset(cn_, rs, "select Nome from Paciente order by Nome"));
    EXPECT_EQ(rs.RecordCount(), 4);
    EXPECT_EQ(ado::ToText(rs.Fields(0).Value()), "Ana");
    EXPECT_EQ(rs.CursorLocation(), ado::adUseClient);

    EXPECT_FALSE(ado_.AbrirRecordset(cn_, rs, "select * from Inexistente"));
    EXPECT_EQ(ado_.ErrorNumber(), kNoTable);
    EXPECT_EQ(rs.State(), ado::adStateClosed);
}

TEST_F(ClsAdoTest, Transactions) {
    OpenConnection();
    ado_.SetErrorNumber(42);
    ado_.SetErrorString("antes");

    // A second begin joins the open transaction and leaves the state alone.
    EXPECT_TRUE(ado_.TransaçãoIniciar(cn_));
    EXPECT_TRUE(ado_.TransaçãoIniciar(cn_));
    EXPECT_EQ(ado_.ErrorNumber(), 42);
    EXPECT_EQ(ado_.ErrorString(), "antes");

    std::int32_t affected = 0;
    EXPECT_TRUE(ado_.ExecutarSQL(cn_, "DELETE FROM Paciente", affected));
    EXPECT_TRUE(ado_.TransaçãoCancelar(cn_));
    ado::Recordset rs;
    ASSERT_TRUE(ado_.AbrirRecordset(cn_, rs, "select count(*) from Paciente"));
    EXPECT_EQ(ado::ToInteger(rs.Fields(0).Value()), 4) << "rolled back";

    EXPECT_FALSE(ado_.TransaçãoFinalizar(cn_));
    EXPECT_EQ(ado_.ErrorNumber(), kNoTransaction);
    EXPECT_EQ(ado_.ErrorString(), "Não há transação ativa");
    ado_.SetErrorNumber(0);
    EXPECT_FALSE(ado_.TransaçãoCancelar(cn_));
    EXPECT_EQ(ado_.ErrorNumber(), kNoTransaction);

    EXPECT_TRUE(ado_.TransaçãoIniciar(cn_));
    EXPECT_TRUE(ado_.ExecutarSQL(cn_, "DELETE FROM Paciente WHERE Número = 1", affected));
    EXPECT_TRUE(ado_.TransaçãoFinalizar(cn_));
    ASSERT_TRUE(ado_.AbrirRecordset(cn_, rs, "select count(*) from Paciente"));
    EXPECT_EQ(ado::ToInteger(rs.Fields(0).Value()), 3) << "committed";

    // Any other failure of the begin is recorded.
    ASSERT_TRUE(ado_.FecharConexão(cn_));
    EXPECT_FALSE(ado_.TransaçãoIniciar(cn_));
    EXPECT_EQ(ado_.ErrorNumber(), 3709);
}

TEST_F(ClsAdoTest, DatabaseKindAndSeparators) {
    struct Case {
        std::string connectionString;
        std::int32_t kind;
    };
    const Case cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\dados\\base.mdb", 1},
        {"PROVIDER=MICROSOFT.JET.OLEDB.4.0;", 1},
        {"provider=microsoft.jet.oledb.4.0;", 1},
        {"Provider=SQLSERVER;Data Source=x", 0},
        {"Provider=SQLOLEDB.1;Data Source=x", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connectionString);
        ado::Connection cn(c.connectionString);
        EXPECT_EQ(ado_.RetornarTipoBD(cn), c.kind);
        EXPECT_EQ(ado_.RetornarSeparator(cn, 2), c.kind == 1 ? "#" : "'");
        EXPECT_EQ(ado_.RetornarSeparator(cn, 0), "'");
        EXPECT_EQ(ado_.RetornarSeparator(cn, 1), "");
        EXPECT_EQ(ado_.RetornarSeparator(cn, 3), "");
        EXPECT_EQ(ado_.RetornarSeparator(cn, 7), "");
    }
}

}  // namespace

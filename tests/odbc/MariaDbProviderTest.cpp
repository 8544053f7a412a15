// The ODBC provider against a real MariaDB server that the test starts, through
// the connection object as the program uses it ("Provider=MSDASQL;Driver=...").
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "MariaDbServer.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/ConnectionString.h"
#include "ado/Recordset.h"
#include "ado/StatusCodes.h"

namespace {

using ado::AdoError;
using ado::Connection;
using ado::Recordset;
using testing_support::MariaDbServer;

// The status code of the AdoError that action throws; 0 when it throws none.
template <typename Action>
std::uint32_t statusOf(Action action) {
    try {
        action();
    } catch (const AdoError& e) {
        return e.status();
    }
    return 0;
}

std::vector<std::string> columnValues(Recordset& rs, const std::string& field) {
    std::vector<std::string> values;
    for (; !rs.Eof(); rs.MoveNext()) values.push_back(ado::ToText(rs.Fields(field).Value()));
    return values;
}

class MariaDbProvider : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = &MariaDbServer::Shared();
        server_->RunSql(
            "DROP VIEW IF EXISTS Exame_Vista;"
            "DROP TABLE IF EXISTS Exame_Página, Exame, Exame_BK, ExameXBK;"
            "CREATE TABLE Exame (Número_Exame VARCHAR(40) PRIMARY KEY, Nome VARCHAR(80));"
            "CREATE TABLE Exame_Página (Número_Exame VARCHAR(40), Página INT, Descrição VARCHAR(80));"
            "CREATE TABLE Exame_BK (Número_Exame VARCHAR(40), Nome VARCHAR(80));"
            "CREATE TABLE ExameXBK (Número_Exame VARCHAR(40), Intrusa INT);"
            "CREATE VIEW Exame_Vista AS SELECT Número_Exame FROM Exame;"
            "INSERT INTO Exame VALUES ('1', 'João da Conceição'), ('2', 'Ângela 😀'), ('10', NULL);"
            "INSERT INTO Exame_Página VALUES ('1', 1, 'capa'), ('1', 2, 'laudo'), ('2', 1, 'capa'), ('10', "
            "1, 'x');");
        connection_.Open(server_->ConnectionString());
    }

    // Rows of a table as the command-line client sees them: independent of
    // the code under test and of its connection's transaction.
    std::string clientRows(const std::string& sql) { return server_->RunSql(sql); }

    MariaDbServer* server_ = nullptr;
    Connection connection_;
};

TEST_F(MariaDbProvider, ExecuteReportsTheRowsItChanged) {
    ASSERT_EQ(connection_.State(), ado::adStateOpen);
    long affected = -7;
    connection_.Execute("INSERT INTO Exame_BK VALUES ('7', 'a'), ('8', 'b'), ('9', 'c')", &affected);
    EXPECT_EQ(affected, 3);
    connection_.Execute("DELETE FROM Exame_BK WHERE Número_Exame <> '8'", &affected);
    EXPECT_EQ(affected, 2);
    connection_.Execute("DELETE FROM Exame_BK WHERE Número_Exame = 'nenhum'", &affected);
    EXPECT_EQ(affected, 0);
    EXPECT_EQ(clientRows("SELECT Número_Exame FROM Exame_BK"), "8\n");
}

TEST_F(MariaDbProvider, RunsTheRemovalsJoinDeleteAsItStands) {
    long affected = -7;
    connection_.Execute(
        "DELETE Exame_Página FROM Exame_Página INNER JOIN  Exame ON Exame_Página.Número_Exame = "
        "Exame.Número_Exame WHERE (((Exame.Número_Exame)='1'));",
        &affected);
    EXPECT_EQ(affected, 2);
    EXPECT_EQ(clientRows("SELECT Número_Exame, Página FROM Exame_Página ORDER BY Número_Exame"),
              "10\t1\n2\t1\n");
}

TEST_F(MariaDbProvider, AMissingTableIsReportedAsSuch) {
    ::testing::internal::CaptureStderr();
    const auto status =
        statusOf([&] { connection_.Execute("DELETE FROM Exame_Inexistente WHERE Número_Exame='1'"); });
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0x80040E37u);
    EXPECT_NE(diagnostics.find("42S02"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find("DELETE FROM Exame_Inexistente WHERE Número_Exame='1'"), std::string::npos)
        << diagnostics;
    EXPECT_EQ(diagnostics.find(server_->password()), std::string::npos) << diagnostics;
}

TEST_F(MariaDbProvider, StatementErrorsAreMappedByTheirKind) {
    struct Case {
        const char* sql;
        std::uint32_t status;
    } cases[] = {
        {"DELETE FROM WHERE", 0x80040E14u},                           // syntax
        {"SELECT Coluna_Inexistente FROM Exame", 0x80040E14u},        // unknown column
        {"INSERT INTO Exame VALUES ('1', 'repetido')", 0x80040E2Fu},  // duplicate key
        {"SELECT * FROM Tabela_Que_Nao_Existe", 0x80040E37u},         // missing table
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        const auto status = statusOf([&] {
            Recordset rs;
            rs.Open(c.sql, connection_);
        });
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status) << c.sql;
        EXPECT_NE(diagnostics.find(c.sql), std::string::npos) << diagnostics;
    }
}

// The driver runs a statement cut short at a NUL (and writes past its own
// copy of the text), so the connection refuses such a text before any
// provider sees it: nothing runs, and the status is that of a bad command.
TEST_F(MariaDbProvider, AStatementHoldingANulNeverReachesTheDriver) {
    const std::string nul(1, '\0');
    const std::string before = clientRows("SELECT Número_Exame, Nome FROM Exame ORDER BY 1");
    const std::vector<std::function<void()>> calls = {
        [&] { connection_.Execute("UPDATE Exame SET Nome='x'" + nul + " WHERE Número_Exame='1'"); },
        [&] { connection_.Execute("DELETE FROM Exame WHERE Número_Exame='10" + nul + "'"); },
        [&] {
            Recordset().Open("SELECT count(*) FROM Exame WHERE Número_Exame='1" + nul + "'", connection_);
        },
        [&] {
            connection_.OpenSchema(ado::adSchemaTables, {"", "", "Exame" + nul + "_BK", ""});
        },
    };
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(statusOf(calls[i]), 0x80040E14u) << "call " << i;
    EXPECT_EQ(clientRows("SELECT Número_Exame, Nome FROM Exame ORDER BY 1"), before);
    // The connection stays usable.
    long affected = 0;
    connection_.Execute("UPDATE Exame SET Nome='y' WHERE Número_Exame='10'", &affected);
    EXPECT_EQ(affected, 1);
}

TEST_F(MariaDbProvider, RollbackPutsTheRowsBackAndCommitKeepsTheChange) {
    connection_.BeginTrans();
    connection_.Execute("DELETE FROM Exame_Página WHERE Número_Exame = '1'");
    connection_.Execute("DELETE FROM Exame WHERE Número_Exame = '1'");
    connection_.RollbackTrans();
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página WHERE Número_Exame = '1'"), "2\n");
    EXPECT_EQ(clientRows("SELECT Nome FROM Exame WHERE Número_Exame = '1'"), "João da Conceição\n");

    connection_.BeginTrans();
    connection_.Execute("DELETE FROM Exame_Página WHERE Número_Exame = '1'");
    // Not visible to others before the commit.
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página WHERE Número_Exame = '1'"), "2\n");
    connection_.CommitTrans();
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página WHERE Número_Exame = '1'"), "0\n");

    // Back in autocommit: a statement outside a transaction is final at once.
    connection_.Execute("DELETE FROM Exame_Página WHERE Número_Exame = '2'");
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página WHERE Número_Exame = '2'"), "0\n");
}

TEST_F(MariaDbProvider, TransactionsDoNotNestAndNeedOneToEnd) {
    EXPECT_EQ(statusOf([&] { connection_.CommitTrans(); }), 0x8004D00Eu);
    EXPECT_EQ(statusOf([&] { connection_.RollbackTrans(); }), 0x8004D00Eu);
    connection_.BeginTrans();
    EXPECT_EQ(statusOf([&] { connection_.BeginTrans(); }), 0x8004D013u);
    connection_.Execute("DELETE FROM Exame_Página");
    connection_.RollbackTrans();
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página"), "4\n");
}

TEST_F(MariaDbProvider, AFailedConnectionNeverShowsThePassword) {
    const std::string wrong = "Errada;}{xyzzy";
    const std::string mariaDb =
        "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + std::to_string(server_->port()) +
        ";";
    struct Case {
        std::string connectionString;
        std::uint32_t status;
        std::string secret;
    } cases[] = {
        {"Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=" +
             std::to_string(server_->port()) + ";Database=remover_test;User=root;Password=\"" + wrong + "\"",
         0x80040E4Du, wrong},
        // The right password, a database that does not exist.
        {"Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=" +
             std::to_string(server_->port()) + ";Database=nao_existe;UID=root;PWD=\"" + server_->password() +
             "\"",
         0x80040E96u, server_->password()},
        {"Provider=MSDASQL;Driver={Driver Que Nao Existe};PWD=\"" + wrong + "\"", 0x80040E96u, wrong},
        {"", 0x80040E96u, wrong},
        // SQL Server through FreeTDS, nothing listening on the port.
        {"Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;User ID=sa;Password=\"" + wrong +
             "\";Connect Timeout=5",
         0x80040E96u, wrong},
        // No Access driver on this platform.
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Jet OLEDB:Database Password=\"" + wrong + "\"",
         0x800A0E7Au, wrong},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Extended Properties=\"PWD={Errada;}}{xyzzy}\"",
         0x800A0E7Au, wrong},
        // A key the driver does not know, whose value it would cut at ";":
        // refused before the driver sees it.
        {mariaDb + "User=root;Jet OLEDB:Database Password=\"" + wrong + "\"", 0x80040E96u, wrong},
        {"Provider=MSDASQL;Extended Properties=\"" + mariaDb + "User=root;\tPWD\t={Errada;}}{xyzzy}\"",
         0x80040E4Du, wrong},
        {"Provider=MSDASQL;Extended Properties=\"DSN={NaoExiste;PWD=xyzzy12\"", 0x80040E96u, "xyzzy12"},
        // A short password that the server's message repeats.
        {mariaDb + "User=q7;PWD=q7", 0x80040E4Du, "q7"},
    };
    for (const auto& c : cases) {
        Connection connection;
        ::testing::internal::CaptureStderr();
        std::string description;
        const auto status = statusOf([&] {
            try {
                connection.Open(c.connectionString);
            } catch (const AdoError& e) {
                description = e.description();
                throw;
            }
        });
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status) << c.connectionString;
        EXPECT_EQ(description.find(c.secret), std::string::npos) << description;
        EXPECT_EQ(connection.State(), ado::adStateClosed);
        EXPECT_FALSE(diagnostics.empty());
        EXPECT_EQ(diagnostics.find(c.secret), std::string::npos) << diagnostics;
        // The fragments a naive redaction would leave behind.
        EXPECT_EQ(diagnostics.find("xyzzy"), std::string::npos) << diagnostics;
        EXPECT_EQ(diagnostics.find("teste=1"), std::string::npos) << diagnostics;
    }
}

// A password that is a common word and stands in the driver's own message
// ("Can't connect to server ..."): the message is withheld, never blanked
// word by word, and its SQLSTATE and native error stay.
TEST_F(MariaDbProvider, ADriverMessageHoldingThePasswordIsWithheldWhole) {
    Connection connection;
    ::testing::internal::CaptureStderr();
    std::string description;
    try {
        connection.Open(
            "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=1;User=root;PWD=connect");
    } catch (const AdoError& e) {
        description = e.description();
    }
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(description, ado::kWithheldText);
    EXPECT_NE(diagnostics.find("[SQLSTATE HY000, native error 2002] " + std::string(ado::kWithheldText)),
              std::string::npos)
        << diagnostics;
    EXPECT_EQ(diagnostics.find("Can't"), std::string::npos) << diagnostics;
}

// ODBC's way to write a password holding ";" or "}": in braces, "}}" for "}".
TEST_F(MariaDbProvider, ABracedPasswordReachesTheDriverWhole) {
    std::string braced = "{";
    for (char c : server_->password()) braced += c == '}' ? "}}" : std::string(1, c);
    braced += '}';
    const std::string odbc =
        "Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + std::to_string(server_->port()) +
        ";Database=" + server_->database() + ";UID=root;PWD=" + braced;
    for (const std::string& connectionString :
         {"Provider=MSDASQL;" + odbc, "Provider=MSDASQL;Extended Properties=\"" + odbc + "\""}) {
        Connection connection;
        EXPECT_EQ(statusOf([&] { connection.Open(connectionString); }), 0u) << connectionString;
        EXPECT_EQ(connection.State(), ado::adStateOpen);
    }
}

TEST_F(MariaDbProvider, AServerThatDiesTakesTheOpenTransactionWithIt) {
    connection_.BeginTrans();
    connection_.Execute("DELETE FROM Exame_Página WHERE Número_Exame = '1'");
    server_->Kill();
    server_->Start();
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página WHERE Número_Exame = '1'"), "2\n");

    ::testing::internal::CaptureStderr();
    const auto executeStatus = statusOf([&] { connection_.Execute("DELETE FROM Exame_Página"); });
    const auto commitStatus = statusOf([&] { connection_.CommitTrans(); });
    ::testing::internal::GetCapturedStderr();
    // The loss is reported as such, and the session is not used again.
    EXPECT_EQ(executeStatus, 0x80070040u);
    EXPECT_EQ(commitStatus, 0x80070040u);
    EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_Página"), "4\n");

    // The same connection string reaches the restarted server.
    Connection again;
    again.Open(server_->ConnectionString());
    long affected = 0;
    again.Execute("DELETE FROM Exame_Página WHERE Número_Exame = '2'", &affected);
    EXPECT_EQ(affected, 1);
}

// The removal of examination "100\3" on a session that the server dropped:
// nothing may run, for a session the driver replaced silently would lack
// standard literals and the statement would remove examination 1003.
void expectDroppedSessionStaysLost(Connection& connection, MariaDbServer& server) {
    Recordset id;
    id.Open("SELECT CONNECTION_ID()", connection);
    server.RunSql("KILL " + ado::ToText(id.Fields(0).Value()));
    ::testing::internal::CaptureStderr();
    const auto status =
        statusOf([&] { connection.Execute("DELETE FROM Exame WHERE Número_Exame = '100\\3'"); });
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0x80070040u);
    EXPECT_EQ(server.RunSql("SELECT COUNT(*) FROM Exame WHERE Número_Exame IN ('1003', '100\\\\3')"), "2\n");
}

// Strings whose last pairs the MariaDB driver would read otherwise than the
// program does (a key it does not know ends its value at the first ";",
// braces and quotes notwithstanding) are refused before it sees them; the
// rest reach it with the program's own safeguards after them.
TEST_F(MariaDbProvider, EachStringIsReadAsTheProgramReadsItOrRefused) {
    struct Case {
        const char* tail;
        bool refused;
    } cases[] = {
        {";X={a;AUTO_RECONNECT=1;b}", true},
        {";AUTO_RECONNECT=1;App=\"x;y\"", true},
        {";AUTO_RECONNECT=1;App='x;y'", true},
        {";X={a;AUTO_RECONNECT=1;b};Description=z", true},
        {";AUTO_RECONNECT=1;App=\"x;y", true},
        {";Extended Properties=\"AUTO_RECONNECT=1;X={a;b}\"", true},
        {";AUTO_RECONNECT=1;App={x}", false},
        {";Description={a;AUTO_RECONNECT=1;b}", false},
        {";AUTO_RECONNECT=1;Description=\"a;b\"", false},
        {";AUTO_RECONNECT=1;OPTION=4194304;App=x", false},
        {";Extended Properties=\"AUTO_RECONNECT=1;INITSTMT={SET @a=';'}\"", false},
        {";AUTO_RECONNECT=1;App='x'", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        server_->RunSql("INSERT IGNORE INTO Exame VALUES ('1003', 'mil e três'), ('100\\\\3', 'com barra')");
        Connection connection;
        ::testing::internal::CaptureStderr();
        const auto status = statusOf([&] { connection.Open(server_->ConnectionString() + c.tail); });
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.refused ? 0x80040E96u : 0u) << diagnostics;
        EXPECT_EQ(diagnostics.find(server_->password()), std::string::npos) << diagnostics;
        if (c.refused) {
            EXPECT_NE(diagnostics.find("cannot be passed to the ODBC driver"), std::string::npos)
                << diagnostics;
        }
        if (status == 0) expectDroppedSessionStaysLost(connection, *server_);
    }
}

// A session the server has dropped while idle: whatever SQLSTATE the driver
// wraps its "server has gone away" in, each step reports a lost connection.
TEST_F(MariaDbProvider, ASessionDroppedWhileIdleIsReportedAsLost) {
    const std::vector<std::function<void(Connection&)>> steps = {
        [](Connection& c) { c.BeginTrans(); },
        [](Connection& c) { c.Execute("DELETE FROM Exame_BK"); },
        [](Connection& c) { Recordset().Open("SELECT count(*) FROM Exame", c); },
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        Connection connection;
        connection.Open(server_->ConnectionString());
        Recordset id;
        id.Open("SELECT CONNECTION_ID()", connection);
        server_->RunSql("KILL " + ado::ToText(id.Fields(0).Value()));
        id.Close();
        ::testing::internal::CaptureStderr();
        const auto status = statusOf([&] { steps[i](connection); });
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 0x80070040u) << "step " << i << ": " << diagnostics;
    }
}

TEST_F(MariaDbProvider, RecordsetReadsCountsAndAccentedText) {
    Recordset rs;
    rs.SetCursorLocation(ado::adUseClient);
    rs.Open("SELECT count(*) FROM Exame_Página WHERE Número_Exame = '1'", connection_);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(std::get<std::int64_t>(rs.Fields(0).Value()), 2);
    rs.Close();

    rs.Open("SELECT Número_Exame, Nome FROM Exame ORDER BY Número_Exame", connection_);
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.Fields(0).Name(), "Número_Exame");
    EXPECT_EQ(columnValues(rs, "Nome"),
              (std::vector<std::string>{"João da Conceição", "", "Ângela \xF0\x9F\x98\x80"}));
    rs.Close();

    rs.Open("SELECT Nome FROM Exame WHERE Número_Exame = '10'", connection_);
    EXPECT_TRUE(ado::IsNull(rs.Fields("Nome").Value()));
}

TEST_F(MariaDbProvider, ReadsLongTextWhole) {
    std::string longText;
    for (int i = 0; longText.size() < 20000; ++i) longText += "ção" + std::to_string(i) + "😀";
    server_->RunSql("DROP TABLE IF EXISTS Texto_Longo; CREATE TABLE Texto_Longo (t LONGTEXT);");
    connection_.Execute("INSERT INTO Texto_Longo VALUES ('" + longText + "')");
    Recordset rs;
    rs.Open("SELECT t FROM Texto_Longo", connection_);
    EXPECT_EQ(ado::ToText(rs.Fields(0).Value()), longText);
}

TEST_F(MariaDbProvider, ABackslashIsAnOrdinaryCharacterInALiteral) {
    // Each of these texts is stored through the connection, then looked up
    // by a literal that holds it with its single quotes doubled.
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"1\\", "315C"},
        {"1\\'", "315C27"},
        {"\\", "5C"},
        {"1\\' OR '1'='1", "315C27204F52202731273D2731"},
    };
    for (const auto& [text, hex] : texts) {
        std::string literal;
        for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
        connection_.Execute("INSERT INTO Exame_BK (Número_Exame) VALUES ('" + literal + "')");
        EXPECT_EQ(clientRows("SELECT count(*) FROM Exame_BK WHERE HEX(Número_Exame) = '" + hex + "'"), "1\n")
            << text;
    }
    for (const auto& [text, hex] : texts) {
        std::string literal;
        for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
        Recordset rs;
        rs.Open("SELECT Número_Exame FROM Exame_BK WHERE Número_Exame = '" + literal + "'", connection_);
        EXPECT_EQ(columnValues(rs, "Número_Exame"), std::vector<std::string>{text}) << text;
    }
}

// Queries sent together come back as each would alone: the same columns,
// types and values (text, NULL, whole and floating-point numbers, dates,
// binary data), empty results in their place, and a failure as its own.
TEST_F(MariaDbProvider, QueriesSentTogetherReadAsEachAlone) {
    ASSERT_TRUE(connection_.QueriesInOneRequest());
    server_->RunSql(
        "DROP TABLE IF EXISTS Valores; CREATE TABLE Valores (d DOUBLE, f FLOAT, q DECIMAL(12,4), "
        "t DATETIME, b LONGBLOB);"
        "INSERT INTO Valores VALUES (0.1e0 + 0.2e0, 0.1, -12.5, '2024-02-29 23:59:58', X'00FF0041'), "
        "(NULL, NULL, NULL, NULL, NULL);");
    const std::vector<std::string> queries = {
        "SELECT * FROM Exame ORDER BY Número_Exame;",
        "SELECT * FROM Exame_Página WHERE Número_Exame = 'nenhum' FOR UPDATE",
        "SELECT Página, Descrição FROM Exame_Página WHERE Número_Exame = '1' ORDER BY Página;",
        "SELECT * FROM Valores ORDER BY d IS NULL",
    };
    const std::vector<ado::RowSet> together = connection_.QueryEach(queries);
    ASSERT_EQ(together.size(), queries.size());
    for (std::size_t i = 0; i < queries.size(); ++i) {
        const ado::RowSet alone = connection_.Query(queries[i]);
        EXPECT_EQ(together[i].columns, alone.columns) << queries[i];
        EXPECT_EQ(together[i].types, alone.types) << queries[i];
        EXPECT_EQ(together[i].rows, alone.rows) << queries[i];
    }
    EXPECT_TRUE(together[1].rows.empty());
    EXPECT_EQ(together[3].rows.size(), 2u);

    ::testing::internal::CaptureStderr();
    const auto status = statusOf([&] {
        connection_.QueryEach({"SELECT * FROM Exame;", "SELECT * FROM Exame_Inexistente;"});
    });
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0x80040E37u);
}

TEST_F(MariaDbProvider, TablesSchemaFindsOnlyTablesOfThatExactName) {
    server_->RunSql(
        "CREATE DATABASE IF NOT EXISTS outro_banco; "
        "CREATE TABLE IF NOT EXISTS outro_banco.Só_Lá (x INT);");
    struct Case {
        const char* name;
        const char* type;
        std::vector<std::string> expected;
    } cases[] = {
        {"Exame_BK", "TABLE", {"Exame_BK"}},  // not ExameXBK: "_" is no wildcard
        {"Exame%", "TABLE", {}},              // nor is "%"
        {"Exame_Página", "TABLE", {"Exame_Página"}},
        {"Exame_Vista", "TABLE", {}},  // a view is no table
        {"Exame_Vista", "VIEW", {"Exame_Vista"}},
        {"Exame_Vista", "", {"Exame_Vista"}},
        {"Só_Lá", "TABLE", {}},  // another database
        {"Inexistente", "TABLE", {}},
    };
    for (const auto& c : cases) {
        auto rs = connection_.OpenSchema(ado::adSchemaTables, {"", "", c.name, c.type});
        EXPECT_EQ(rs->RecordCount(), static_cast<long>(c.expected.size())) << c.name << " " << c.type;
        EXPECT_EQ(columnValues(*rs, "TABLE_NAME"), c.expected) << c.name << " " << c.type;
    }

    auto all = connection_.OpenSchema(ado::adSchemaTables, {"", "", "", "TABLE"});
    auto names = columnValues(*all, "TABLE_NAME");
    std::sort(names.begin(), names.end());
    for (const char* expected : {"Exame", "Exame_BK", "Exame_Página", "ExameXBK"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    EXPECT_EQ(std::find(names.begin(), names.end(), "Exame_Vista"), names.end());
}

TEST_F(MariaDbProvider, ColumnsSchemaListsColumnsInOrderWithTheirTypes) {
    auto rs = connection_.OpenSchema(ado::adSchemaColumns, {"", "", "Exame_Página", ""});
    std::vector<std::string> rows;
    for (; !rs->Eof(); rs->MoveNext())
        rows.push_back(ado::ToText(rs->Fields("TABLE_NAME").Value()) + "." +
                       ado::ToText(rs->Fields("COLUMN_NAME").Value()) + " " +
                       ado::ToText(rs->Fields("ORDINAL_POSITION").Value()) + " " +
                       ado::ToText(rs->Fields("COLUMN_TYPE").Value()) + " " +
                       ado::ToText(rs->Fields("DATA_TYPE").Value()));
    EXPECT_EQ(rows,
              (std::vector<std::string>{"Exame_Página.Número_Exame 1 202 202", "Exame_Página.Página 2 3 3",
                                        "Exame_Página.Descrição 3 202 202"}));

    struct Case {
        const char* table;
        const char* column;
        std::vector<std::string> expected;
    } cases[] = {
        {"Exame_Página", "Página", {"Página"}},
        {"Exame_BK", "", {"Número_Exame", "Nome"}},  // no "Intrusa" from ExameXBK
        {"Exame_BK", "Intrusa", {}},
        {"Exame_Página", "P_gina", {}},
        {"Inexistente", "", {}},
    };
    for (const auto& c : cases) {
        auto columns = connection_.OpenSchema(ado::adSchemaColumns, {"", "", c.table, c.column});
        EXPECT_EQ(columnValues(*columns, "COLUMN_NAME"), c.expected) << c.table << " " << c.column;
    }
}

}  // namespace

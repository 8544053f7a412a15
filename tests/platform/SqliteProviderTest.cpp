// The SQLite provider through the connection layer, on real database files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DiagnosticLog.h"
#include "TempDir.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/Recordset.h"
#include "ado/SqlRewrite.h"
#include "ado/SqliteProvider.h"
#include "ado/StatusCodes.h"

namespace {

namespace status = ado::status;
using ado::Connection;
using ado::Recordset;
using ado::Variant;

// The status code a call failed with; 0 when it succeeded.
std::uint32_t statusOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ado::AdoError& e) {
        return e.status();
    }
    return 0;
}

// Runs SQL on a connection of the test's own, outside the layer under test.
void rawExec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        FAIL() << message << " in " << sql;
    }
}

// Four of the examination tables, named with suffix, declared with foreign
// keys and with indexes on the join columns, and three examinations whose rows
// interleave: "1" (2 pages, 3 images, 4 appliqués), "2" and "12".
std::string schemaAndSeed(const std::string& t) {
    return "CREATE TABLE Exame" + t +
           " (Número_Exame VARCHAR(20) PRIMARY KEY, Paciente VARCHAR(60));"
           "CREATE TABLE Exame_Página" +
           t +
           " (ID_Página INTEGER PRIMARY KEY, Número_Exame VARCHAR(20) NOT NULL "
           "REFERENCES Exame" +
           t +
           " (Número_Exame));"
           "CREATE INDEX ix_Página_Exame" +
           t + " ON Exame_Página" + t +
           " (Número_Exame);"
           "CREATE TABLE Exame_Imagem" +
           t +
           " (ID_Imagem INTEGER PRIMARY KEY, ID_Página INTEGER NOT NULL "
           "REFERENCES Exame_Página" +
           t +
           " (ID_Página));"
           "CREATE INDEX ix_Imagem_Página" +
           t + " ON Exame_Imagem" + t +
           " (ID_Página);"
           "CREATE TABLE Aplique" +
           t +
           " (Id_Aplique INTEGER PRIMARY KEY, Id_Imagem INTEGER NOT NULL "
           "REFERENCES Exame_Imagem" +
           t +
           " (ID_Imagem), Texto TEXT);"
           "CREATE INDEX ix_Aplique_Imagem" +
           t + " ON Aplique" + t +
           " (Id_Imagem);"
           "INSERT INTO Exame" +
           t +
           " VALUES ('1', 'Ana'), ('2', 'Bia'), ('12', 'Caio');"
           "INSERT INTO Exame_Página" +
           t +
           " VALUES (10, '1'), (20, '2'), (11, '1'), (120, '12');"
           "INSERT INTO Exame_Imagem" +
           t +
           " VALUES (100, 10), (200, 20), (101, 10), (1200, 120), (110, 11), "
           "(201, 20);"
           "INSERT INTO Aplique" +
           t +
           " VALUES (1000, 100, 'a'), (2000, 200, 'b'), (1001, 100, NULL), "
           "(12000, 1200, 'c'), (1002, 101, 'd'), (2010, 201, 'e'), (1100, 110, 'f');";
}

class SqliteProvider : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("exames.db");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                  SQLITE_OK);
        rawExec(db, schemaAndSeed("") + schemaAndSeed("_BK") +
                        "CREATE VIEW Vista_Exame AS SELECT Número_Exame FROM Exame;"
                        "CREATE TABLE Protegido (id INTEGER PRIMARY KEY);"
                        "INSERT INTO Protegido VALUES (1), (2), (3);"
                        "CREATE TRIGGER Protegido_Guarda BEFORE DELETE ON Protegido WHEN old.id = 3 "
                        "BEGIN SELECT RAISE(ABORT, 'protegido'); END;");
        sqlite3_close(db);
    }

    std::string connectionString(const std::string& extra = "") const {
        return "Provider=SQLite;Data Source=" + path_ + extra;
    }

    // The keys of a table in rowid order, read outside the layer under test.
    std::string keys(const std::string& table) const {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, ("SELECT * FROM " + table + " ORDER BY 1").c_str(), -1, &statement,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                if (!out.empty()) out += ",";
                out += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            }
        } else {
            out = "error: " + std::string(sqlite3_errmsg(db));
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return out;
    }

    std::string allKeys() const {
        std::string out;
        for (const char* table : {"Exame", "Exame_Página", "Exame_Imagem", "Aplique", "Protegido"})
            for (const char* suffix : {"", "_BK"})
                if (std::string(table) != "Protegido" || *suffix == '\0')
                    out += std::string(table) + suffix + ":" + keys(std::string(table) + suffix) + "\n";
        return out;
    }

    testing_support::TempDir dir_;
    std::string path_;
};

TEST_F(SqliteProvider, ConnectionLifecycle) {
    Connection cn;
    cn.SetConnectionString(connectionString());
    cn.Open();
    EXPECT_EQ(cn.State(), ado::adStateOpen);

    EXPECT_EQ(statusOf([&] { cn.SetConnectionString("Provider=SQLite;Data Source=x.db"); }), 0x800A0E79u);
    EXPECT_EQ(cn.ConnectionString(), connectionString());
    EXPECT_EQ(statusOf([&] { cn.Open(); }), 0x800A0E79u);
    EXPECT_EQ(cn.State(), ado::adStateOpen);

    cn.Close();
    EXPECT_EQ(cn.State(), ado::adStateClosed);
    EXPECT_EQ(statusOf([&] { cn.Close(); }), 0x800A0E78u);
    cn.Open();
    EXPECT_EQ(cn.State(), ado::adStateOpen);
}

TEST_F(SqliteProvider, OpenFailuresCreateNothing) {
    const std::string notADatabase = dir_.write("texto.db", std::string(4096, 'x'));
    const std::string empty = dir_.write("vazio.db", "");
    const std::string accentedEmpty = dir_.write("vazio é ção.db", "");
#ifndef _WIN32
    const std::string pipe = dir_.file("fila.db");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
#endif
    const std::string missing = dir_.file("faltando.db");
    struct Case {
        std::string connectionString;
        std::uint32_t expected;
    };
    std::vector<Case> cases = {
        {"Provider=SQLite;Data Source=" + missing, status::FileNotFound},
        {"Provider=SQLite;Data Source=" + dir_.file("sem_pasta/x.db"), status::FileNotFound},
        {"Provider=SQLite;Data Source=" + dir_.path().string(), status::FileNotFound},
        {"Provider=SQLite", status::FileNotFound},
        {"Provider=SQLite;Data Source=", status::FileNotFound},
        {"Provider=SQLite;Data Source=:memory:", status::FileNotFound},
        {"Provider=SQLite;Data Source=file:" + missing + "?mode=rwc", status::FileNotFound},
        {"Provider=SQLite;Data Source=" + notADatabase, status::DataCorrupt},
        {"Provider=SQLite;Data Source=" + empty, status::DataCorrupt},
        {"Provider=SQLite;Data Source=" + accentedEmpty, status::DataCorrupt},
    };
#ifndef _WIN32
    // Devices and a named pipe: no regular file.
    cases.push_back({"Provider=SQLite;Data Source=/dev/null", status::CannotConnect});
    cases.push_back({"Provider=SQLite;Data Source=/dev/zero", status::CannotConnect});
    cases.push_back({"Provider=SQLite;Data Source=" + pipe, status::CannotConnect});
#endif
    // ":memory:" is a relative file name: look for it in the test's own folder.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connectionString);
        Connection cn(c.connectionString);
        EXPECT_EQ(statusOf([&] { cn.Open(); }), c.expected);
        EXPECT_EQ(cn.State(), ado::adStateClosed);
    }
    std::filesystem::current_path(previous);
    // Only the files the test made: no database, journal or directory was created.
#ifdef _WIN32
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 4);
#else
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 5);
#endif
}

TEST_F(SqliteProvider, RecordsAffected) {
    Connection cn(connectionString());
    cn.Open();
    struct Case {
        std::string sql;
        long expected;
    };
    const Case cases[] = {
        {"DELETE FROM Aplique WHERE Id_Imagem IN (100, 101)", 3},
        {"UPDATE Aplique SET Texto = 'z' WHERE Id_Aplique = 999", 0},
        {"DELETE Aplique_BK FROM Aplique_BK WHERE Aplique_BK.Id_Imagem = 200;", 1},
        // Statements that change no counted rows must not report the count
        // left over from the last delete.
        {"CREATE TABLE Nova (x)", -1},
        {"SELECT * FROM Exame", -1},
        {"INSERT INTO Nova VALUES (1), (2)", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        long affected = 12345;
        cn.Execute(c.sql, &affected);
        EXPECT_EQ(affected, c.expected);
    }
}

// Every statement shape the removal sends, rewritten for SQLite, deletes the
// rows of examination "1" and nothing of "2", "12" or of the other set.
TEST_F(SqliteProvider, JoinDeletesRemoveOneExaminationOnly) {
    for (const std::string t : {"", "_BK"}) {
        SCOPED_TRACE("suffix '" + t + "'");
        std::filesystem::remove(path_);
        SetUp();
        const std::string other = t.empty() ? "_BK" : "";
        const std::string otherBefore = keys("Aplique" + other) + keys("Exame_Imagem" + other) +
                                        keys("Exame_Página" + other) + keys("Exame" + other);
        const std::string w = " WHERE (((Exame" + t + ".Número_Exame)='1'));";
        const std::string statements[] = {
            "DELETE Aplique" + t + " FROM Aplique" + t + "   INNER JOIN  (Exame_Imagem" + t +
                "  INNER JOIN  (Exame_Página" + t + "  INNER JOIN Exame" + t + " ON Exame_Página" + t +
                ".Número_Exame  = Exame" + t + ".Número_Exame)  ON Exame_Imagem" + t +
                ".ID_Página     = Exame_Página" + t + ".ID_Página)  ON Aplique" + t +
                ".Id_Imagem          = Exame_Imagem" + t + ".ID_Imagem" + w,
            "DELETE  Exame_Imagem" + t + " FROM (Exame" + t + " INNER JOIN Exame_Página" + t + " ON Exame" +
                t + ".Número_Exame = Exame_Página" + t + ".Número_Exame) INNER JOIN Exame_Imagem" + t +
                " ON Exame_Página" + t + ".ID_Página = Exame_Imagem" + t + ".ID_Página" + w,
            "DELETE Exame_Página" + t + " FROM Exame_Página" + t + " INNER JOIN  Exame" + t +
                " ON Exame_Página" + t + ".Número_Exame = Exame" + t + ".Número_Exame" + w,
            "DELETE Exame" + t + " From Exame" + t + w,
        };
        const long expectedCounts[] = {4, 3, 2, 1};
        {
            Connection cn(connectionString());
            cn.Open();
            cn.BeginTrans();
            for (std::size_t i = 0; i < std::size(statements); ++i) {
                long affected = 0;
                cn.Execute(statements[i], &affected);
                EXPECT_EQ(affected, expectedCounts[i]) << statements[i];
            }
            cn.CommitTrans();
        }
        EXPECT_EQ(keys("Aplique" + t), "2000,2010,12000");
        EXPECT_EQ(keys("Exame_Imagem" + t), "200,201,1200");
        EXPECT_EQ(keys("Exame_Página" + t), "20,120");
        EXPECT_EQ(keys("Exame" + t), "12,2");
        EXPECT_EQ(keys("Aplique" + other) + keys("Exame_Imagem" + other) + keys("Exame_Página" + other) +
                      keys("Exame" + other),
                  otherBefore);
    }
}

// With indexes on the join columns, the rewritten statements find the rows by
// index lookups: no table is read from end to end.
TEST_F(SqliteProvider, RewrittenDeletesUseIndexes) {
    Connection cn(connectionString());
    cn.Open();
    const std::string statements[] = {
        "DELETE Aplique FROM Aplique   INNER JOIN  (Exame_Imagem  INNER JOIN  (Exame_Página  INNER JOIN "
        "Exame ON "
        "Exame_Página.Número_Exame  = Exame.Número_Exame)  ON Exame_Imagem.ID_Página     = "
        "Exame_Página.ID_Página)  "
        "ON Aplique.Id_Imagem          = Exame_Imagem.ID_Imagem WHERE (((Exame.Número_Exame)='1'));",
        "DELETE  Exame_Imagem FROM (Exame INNER JOIN Exame_Página ON Exame.Número_Exame = "
        "Exame_Página.Número_Exame) "
        "INNER JOIN Exame_Imagem ON Exame_Página.ID_Página = Exame_Imagem.ID_Página WHERE "
        "(((Exame.Número_Exame)='1'));",
        "DELETE Exame FROM Exame WHERE (((Exame.Número_Exame)='1'));",
    };
    for (const auto& sql : statements) {
        SCOPED_TRACE(sql);
        const auto rewritten = ado::RewriteDeleteJoin(sql);
        ASSERT_TRUE(rewritten);
        Recordset rs;
        rs.Open("EXPLAIN QUERY PLAN " + *rewritten, cn);
        ASSERT_GT(rs.RecordCount(), 0);
        for (; !rs.Eof(); rs.MoveNext()) {
            const std::string detail = ado::ToText(rs.Fields("detail").Value());
            EXPECT_NE(detail.rfind("SCAN ", 0), 0u) << detail;
        }
    }
}

TEST_F(SqliteProvider, FailuresCarryTheirStatusAndChangeNothing) {
    const std::string before = allKeys();
    Connection cn(connectionString());
    cn.Open();
    struct Case {
        std::string sql;
        std::uint32_t expected;
        std::string diagnostic;  // must appear in the line written to standard error
    };
    const Case cases[] = {
        {"DELETE FROM Nada WHERE x = 1", 0x80040E37u, "no such table: Nada"},
        {"DELETE Nada FROM Nada WHERE x = 1;", 0x80040E37u,
         "statement: DELETE Nada FROM Nada WHERE x = 1;; rewritten for SQLite: DELETE FROM Nada AS "
         "sqlite_delete_target WHERE rowid IN (SELECT Nada.rowid FROM Nada WHERE x = 1)"},
        {"SELEC 1", 0x80040E14u, "syntax error"},
        {"DELETE FROM Exame WHERE Coluna = 1", 0x80040E14u, "no such column: Coluna"},
        {"DELETE FROM Exame WHERE Número_Exame = '2'", 0x80040E2Fu, "FOREIGN KEY constraint failed"},
        {"DELETE FROM Protegido", 0x80040E2Fu, "protegido"},
        {"INSERT INTO Exame VALUES ('1', 'Outra')", 0x80040E2Fu, "UNIQUE"},
        // One call, one statement: the first must not run on its own.
        {"DELETE FROM Aplique; DELETE FROM Aplique_BK", 0x80040E14u, "more than one statement"},
        {"DELETE FROM Aplique; x", 0x80040E14u, "more than one statement"},
        {"", 0x80040E14u, "no statement"},
        {" ; -- nada", 0x80040E14u, "no statement"},
        // The target is not in the join: an error, never every row of Aplique.
        {"DELETE Aplique FROM Exame WHERE Exame.Número_Exame = '1'", 0x80040E14u,
         "no such column: Aplique.rowid"},
        // No statement may load code into the process.
        {"SELECT load_extension('libm.so.6', 'cos')", 0x80040E14u, "not authorized"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        testing_support::DiagnosticLog log;
        const std::uint32_t got = statusOf([&] { cn.Execute(c.sql); });
        EXPECT_EQ(got, c.expected);
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_EQ(log.entries()[0].category, "SQLite");
        const std::string& diagnostic = log.entries()[0].text;
        EXPECT_NE(diagnostic.find(c.diagnostic), std::string::npos) << diagnostic;
        EXPECT_EQ(diagnostic.find('\n'), std::string::npos) << diagnostic;
    }
    EXPECT_EQ(allKeys(), before);
}

TEST_F(SqliteProvider, Transactions) {
    Connection cn(connectionString());
    cn.Open();
    EXPECT_EQ(statusOf([&] { cn.CommitTrans(); }), 0x8004D00Eu);
    EXPECT_EQ(statusOf([&] { cn.RollbackTrans(); }), 0x8004D00Eu);

    cn.BeginTrans();
    EXPECT_EQ(statusOf([&] { cn.BeginTrans(); }), 0x8004D013u);
    cn.Execute("DELETE FROM Aplique");
    cn.Execute("DELETE FROM Protegido WHERE id = 1");
    EXPECT_EQ(statusOf([&] { cn.Execute("DELETE FROM Protegido"); }), 0x80040E2Fu);
    cn.RollbackTrans();
    EXPECT_EQ(keys("Aplique"), "1000,1001,1002,1100,2000,2010,12000");
    EXPECT_EQ(keys("Protegido"), "1,2,3");

    cn.BeginTrans();
    cn.Execute("DELETE FROM Protegido WHERE id = 1");
    cn.CommitTrans();
    EXPECT_EQ(keys("Protegido"), "2,3");
}

TEST_F(SqliteProvider, RecordsetReadsEveryRowAndValueKind) {
    Connection cn(connectionString());
    cn.Open();
    cn.Execute("CREATE TABLE Tipos (i INTEGER, r REAL, t TEXT, n, b BLOB)");
    cn.Execute("INSERT INTO Tipos VALUES (-7, 2.5, 'Número', NULL, x'00FF41')");

    Recordset rs;
    rs.Open("SELECT Count(*) FROM Exame WHERE Número_Exame = '1'", cn);
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(0).Value(), Variant(std::int64_t{1}));
    EXPECT_EQ(statusOf([&] { rs.Open("SELECT 1", cn); }), 0x800A0E79u);
    rs.Close();

    rs.Open("SELECT i, r, t, n, b AS Bytes FROM Tipos", cn);
    EXPECT_EQ(rs.Fields("i").Value(), Variant(std::int64_t{-7}));
    EXPECT_EQ(rs.Fields("r").Value(), Variant(2.5));
    EXPECT_EQ(rs.Fields("T").Value(), Variant(std::string("Número")));
    EXPECT_TRUE(ado::IsNull(rs.Fields("n").Value()));
    EXPECT_EQ(rs.Fields("Bytes").Value(), Variant(std::string("\0\xff"
                                                              "A",
                                                              3)));
    EXPECT_EQ(statusOf([&] { (void)rs.Fields("nada"); }), 0x800A0CC1u);
    rs.Close();

    rs.Open("SELECT Número_Exame, Paciente FROM Exame ORDER BY Número_Exame", cn);
    EXPECT_EQ(rs.RecordCount(), 3);
    std::string seen;
    for (; !rs.Eof(); rs.MoveNext())
        seen +=
            ado::ToText(rs.Fields("Número_Exame").Value()) + "=" + ado::ToText(rs.Fields(1).Value()) + ";";
    EXPECT_EQ(seen, "1=Ana;12=Caio;2=Bia;");
    rs.Close();

    rs.Open("SELECT * FROM Exame WHERE 0", cn);
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.Fields(1).Name(), "Paciente");
}

TEST_F(SqliteProvider, TablesSchema) {
    Connection cn(connectionString());
    cn.Open();
    cn.Execute("CREATE TABLE Contador (id INTEGER PRIMARY KEY AUTOINCREMENT)");
    struct Case {
        std::string table;
        std::string type;
        std::string expected;  // TABLE_NAME:TABLE_TYPE of each row
    };
    const Case cases[] = {
        {"Exame", "TABLE", "Exame:TABLE"},
        {"exame", "TABLE", "Exame:TABLE"},
        {"EXAME_PÁGINA", "TABLE", ""},  // SQLite folds ASCII letters only
        {"EXAME_PáGINA", "TABLE", "Exame_Página:TABLE"},
        {"Vista_Exame", "TABLE", ""},
        {"Vista_Exame", "VIEW", "Vista_Exame:VIEW"},
        {"Vista_Exame", "", "Vista_Exame:VIEW"},
        {"", "VIEW", "Vista_Exame:VIEW"},
        {"sqlite_sequence", "TABLE", ""},
        {"", "SYSTEM TABLE", "sqlite_sequence:SYSTEM TABLE"},
        {"Exame", "table", ""},
        {"Nada", "", ""},
        {"Exame' OR '1'='1", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table + "/" + c.type);
        auto rs = cn.OpenSchema(ado::adSchemaTables, {"", "", c.table, c.type});
        std::string got;
        for (; !rs->Eof(); rs->MoveNext()) {
            EXPECT_TRUE(ado::IsNull(rs->Fields("TABLE_CATALOG").Value()));
            EXPECT_TRUE(ado::IsNull(rs->Fields("TABLE_SCHEMA").Value()));
            if (!got.empty()) got += ",";
            got += ado::ToText(rs->Fields("TABLE_NAME").Value()) + ":" +
                   ado::ToText(rs->Fields("TABLE_TYPE").Value());
        }
        EXPECT_EQ(got, c.expected);
    }
    auto all = cn.OpenSchema(ado::adSchemaTables, {"", "", "", "TABLE"});
    EXPECT_EQ(all->RecordCount(), 10);  // 4 tables, 4 twins, Protegido, Contador
}

TEST_F(SqliteProvider, ColumnsSchema) {
    Connection cn(connectionString());
    cn.Open();
    cn.Execute(
        "CREATE TABLE Colunas (a INTEGER, b int, c BIGINT, d SMALLINT, e TINYINT, f CHAR(10), g VARCHAR(50), "
        "h nvarchar (50), i TEXT, j CLOB, k REAL, l DOUBLE PRECISION, m FLOAT, n NUMERIC(10,2), o DECIMAL, p "
        "DATE, "
        "q TIME, r DATETIME, s TIMESTAMP, t BOOLEAN, u BIT, v BLOB, w, x VARCHAR2(5), y LONGINT, z MONEYISH, "
        "\"Descrição Longa\" CHARACTER VARYING)");
    auto rs = cn.OpenSchema(ado::adSchemaColumns, {"", "", "colunas", ""});
    std::string got;
    for (; !rs->Eof(); rs->MoveNext()) {
        EXPECT_EQ(rs->Fields("TABLE_NAME").Value(), Variant(std::string("Colunas")));
        EXPECT_EQ(rs->Fields("DATA_TYPE").Value(), rs->Fields("COLUMN_TYPE").Value());
        got += ado::ToText(rs->Fields("ORDINAL_POSITION").Value()) + ":" +
               ado::ToText(rs->Fields("COLUMN_NAME").Value()) + "=" +
               ado::ToText(rs->Fields("COLUMN_TYPE").Value()) + " ";
    }
    EXPECT_EQ(
        got,
        "1:a=3 2:b=3 3:c=20 4:d=2 5:e=17 6:f=129 7:g=200 8:h=202 9:i=201 10:j=201 11:k=5 12:l=5 13:m=5 "
        "14:n=131 15:o=131 16:p=133 17:q=134 18:r=135 19:s=135 20:t=11 21:u=11 22:v=205 23:w=12 24:x=202 "
        "25:y=20 26:z=131 27:Descrição Longa=202 ");

    struct Case {
        std::string table;
        std::string column;
        std::string expected;  // TABLE_NAME.COLUMN_NAME of each row
    };
    const Case cases[] = {
        {"Exame_Página", "", "Exame_Página.ID_Página,Exame_Página.Número_Exame"},
        {"Exame_Página", "número_exame", "Exame_Página.Número_Exame"},
        {"Exame_Página", "NÚMERO_EXAME", ""},
        {"Vista_Exame", "", "Vista_Exame.Número_Exame"},
        {"Nada", "", ""},
        {"Exame", "Nada", ""},
        {"Exame') --", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table + "/" + c.column);
        auto columns = cn.OpenSchema(ado::adSchemaColumns, {"", "", c.table, c.column});
        std::string names;
        for (; !columns->Eof(); columns->MoveNext()) {
            if (!names.empty()) names += ",";
            names += ado::ToText(columns->Fields("TABLE_NAME").Value()) + "." +
                     ado::ToText(columns->Fields("COLUMN_NAME").Value());
        }
        EXPECT_EQ(names, c.expected);
    }
}

// Another connection holds the write lock. The begin, a statement and a
// commit that needs the lock all give up after the busy time-out with the
// lock status, and leave nothing behind; once the lock is gone the work runs.
TEST_F(SqliteProvider, LockedDatabaseFailsAfterBusyTimeout) {
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &holder, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    rawExec(holder, "BEGIN IMMEDIATE");

    Connection cn(connectionString(";Busy Timeout=300"));
    cn.Open();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(statusOf([&] { cn.BeginTrans(); }), 0x80040E31u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_FALSE(cn.InTransaction());
    EXPECT_EQ(statusOf([&] { cn.Execute("DELETE FROM Protegido WHERE id = 1"); }), 0x80040E31u);
    rawExec(holder, "COMMIT");

    // A reader keeps the commit from writing the file: the commit fails and
    // the transaction is rolled back, not left open.
    rawExec(holder, "BEGIN; SELECT count(*) FROM Protegido;");
    cn.BeginTrans();
    cn.Execute("DELETE FROM Protegido WHERE id = 1");
    EXPECT_EQ(statusOf([&] { cn.CommitTrans(); }), 0x80040E31u);
    EXPECT_FALSE(cn.InTransaction());
    rawExec(holder, "COMMIT");
    EXPECT_EQ(keys("Protegido"), "1,2,3");
    cn.Execute(
        "DELETE FROM Protegido WHERE id = 2");  // would fail if the first delete's transaction lingered
    cn.BeginTrans();
    cn.RollbackTrans();
    EXPECT_EQ(keys("Protegido"), "1,3");
    sqlite3_close(holder);
}

TEST(SqliteStatus, ExtendedCodesMapByTheirPrimaryCode) {
    struct Case {
        int code;
        const char* message;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {SQLITE_ERROR, "no such table: Exame_BK", status::NoTable},
        {SQLITE_ERROR, "no such column: x", status::ErrorsInCommand},
        {SQLITE_ERROR, "near \"FROM\": syntax error", status::ErrorsInCommand},
        {SQLITE_CONSTRAINT_FOREIGNKEY, "FOREIGN KEY constraint failed", status::IntegrityViolation},
        {SQLITE_CONSTRAINT_TRIGGER, "x", status::IntegrityViolation},
        {SQLITE_BUSY_SNAPSHOT, "database is locked", status::AbortLimitReached},
        {SQLITE_LOCKED_SHAREDCACHE, "database table is locked", status::AbortLimitReached},
        {SQLITE_FULL, "database or disk is full", status::MediumFull},
        {SQLITE_READONLY_DBMOVED, "readonly", status::PermissionDenied},
        {SQLITE_CANTOPEN_ISDIR, "unable to open", status::FileNotFound},
        {SQLITE_CORRUPT_INDEX, "malformed", status::DataCorrupt},
        {SQLITE_NOTADB, "file is not a database", status::DataCorrupt},
        {SQLITE_NOMEM, "out of memory", status::OutOfMemory},
        {SQLITE_IOERR_NOMEM, "out of memory", status::OutOfMemory},
        {SQLITE_IOERR_WRITE, "disk I/O error", status::Unspecified},
        {SQLITE_MISUSE, "bad parameter", status::Unspecified},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(ado::StatusForSqliteFailure(c.code, c.message), c.expected);
    }
}

}  // namespace

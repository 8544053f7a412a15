// Schema inspection through clsADO, on SQLite and on the MariaDB server (the
// ODBC provider): column lists, common columns, the table test and drops.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <functional>
#include <memory>

#include "MariaDbServer.h"
#include "TempDir.h"
#include "clsADO.h"

namespace {

using namespace testing_support;

// A database holding nothing, and its connection string.
using FreshDatabase = std::function<std::string(TempDir&)>;

std::string FreshSqlite(TempDir& dir) {
    const std::string path = dir.file("schema.db");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr);  // an empty file is no database
    sqlite3_close(db);
    return "Provider=SQLite;Data Source=" + path;
}

std::string FreshMariaDb(TempDir&) {
    MariaDbServer& server = MariaDbServer::Shared();
    server.RunSql("DROP DATABASE IF EXISTS " + server.database() + "; CREATE DATABASE " + server.database() +
                  " CHARACTER SET utf8mb4;");
    return server.ConnectionString();
}

class SchemaInspection : public ::testing::TestWithParam<FreshDatabase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(ado_.AbrirConexão(cn_, GetParam()(dir_))) << ado_.ErrorString();
        for (const char* statement : {
                 "CREATE TABLE Paciente (Número INTEGER, Nome VARCHAR(50), Nascimento DATE, Peso REAL)",
                 "CREATE TABLE Paciente_BK (Peso REAL, número INTEGER, Nome VARCHAR(50), Extra TEXT)",
                 "CREATE TABLE PacienteXBK (Outro INTEGER)",
                 "CREATE VIEW Vista AS SELECT Nome FROM Paciente",
             })
            cn_.Execute(statement);
    }
    void TearDown() override { cn_.Close(); }

    TempDir dir_;
    ado::Connection cn_;
    clsADO ado_;
};

TEST_P(SchemaInspection, TablesAndViews) {
    EXPECT_TRUE(ado_.TableExiste(cn_, "Paciente"));
    EXPECT_TRUE(ado_.TableExiste(cn_, "Paciente_BK"));
    EXPECT_FALSE(ado_.TableExiste(cn_, "Vista")) << "a view is not a table";
    EXPECT_FALSE(ado_.TableExiste(cn_, "Inexistente"));
    EXPECT_FALSE(ado_.TableExiste(cn_, "Paciente%"));

    EXPECT_TRUE(ado_.RemoverTable(cn_, "Inexistente"));
    EXPECT_TRUE(ado_.RemoverTable(cn_, "Paciente_BK"));
    EXPECT_FALSE(ado_.TableExiste(cn_, "Paciente_BK"));
    EXPECT_TRUE(ado_.TableExiste(cn_, "PacienteXBK")) << "the underscore is not a wildcard";
    EXPECT_EQ(ado_.ErrorNumber(), 0);
}

TEST_P(SchemaInspection, ColumnListsInTheirThreeFormats) {
    EXPECT_EQ(ado_.RetornarListaFields(cn_, "Paciente"), "[Número],[Nome],[Nascimento],[Peso]");
    EXPECT_EQ(ado_.RetornarListaFields(cn_, "Paciente", 1),
              "Paciente.[Número],Paciente.[Nome],Paciente.[Nascimento],Paciente.[Peso]");
    EXPECT_EQ(ado_.RetornarListaFields(cn_, "Paciente", 2), "1:[Número],2:[Nome],3:[Nascimento],4:[Peso]");
    EXPECT_EQ(ado_.RetornarListaFields(cn_, "Paciente", 5), "");
    EXPECT_EQ(ado_.RetornarListaFields(cn_, "Inexistente"), "");
    EXPECT_EQ(ado_.RetornarListaFields(cn_, "Vista"), "");

    // In the first table's order; "número" is not "Número".
    EXPECT_EQ(ado_.RetornarListaFieldsComuns(cn_, "Paciente", "Paciente_BK"), "[Nome],[Peso]");
    EXPECT_EQ(ado_.RetornarListaFieldsComuns(cn_, "Paciente_BK", "Paciente"), "[Peso],[Nome]");
    EXPECT_EQ(ado_.RetornarListaFieldsComuns(cn_, "Paciente", "Inexistente"), "");
    EXPECT_EQ(ado_.ErrorNumber(), 0);
}

TEST_P(SchemaInspection, SeparatorsFromTheColumnType) {
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Paciente", "Nome"), "'");
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Paciente", "Nascimento"), "'");
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Paciente", "Número"), "");
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Paciente", "Peso"), "");
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Paciente", "Inexistente"), "");
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Inexistente", "Nome"), "");
    EXPECT_EQ(ado_.ErrorNumber(), 0) << "a missing table or column is not a failure";

    // A closed connection: the table test fails and is recorded.
    cn_.Close();
    EXPECT_EQ(ado_.RetornarSeparator1(cn_, "Paciente", "Nome"), "");
    EXPECT_EQ(ado_.ErrorNumber(), 3709);
    cn_.Open();
}

// Each suite instance holds one database; the instance name says which.
std::string DatabaseName(const ::testing::TestParamInfo<FreshDatabase>&) {
    return "db";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, SchemaInspection, ::testing::Values(FreshDatabase(FreshSqlite)),
                         DatabaseName);
INSTANTIATE_TEST_SUITE_P(MariaDb, SchemaInspection, ::testing::Values(FreshDatabase(FreshMariaDb)),
                         DatabaseName);

}  // namespace

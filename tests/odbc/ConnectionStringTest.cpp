// Reading ADO connection strings and choosing the provider they name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ado/ConnectionString.h"
#include "ado/Providers.h"

namespace {

using ado::ConnectionProperty;
using ado::ProviderKind;

std::string describe(const std::vector<ConnectionProperty>& properties) {
    std::string out;
    for (const auto& p : properties) out += "<" + p.key + ">=<" + p.value + ">";
    return out;
}

TEST(ConnectionString, SplitsIntoKeysAndValues) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"Provider=SQLOLEDB.1;Data Source=srv", "<Provider>=<SQLOLEDB.1><Data Source>=<srv>"},
        {"  Provider = SQLite ; Data Source = a b.db  ", "<Provider>=<SQLite><Data Source>=<a b.db>"},
        {"Password=\"a;b=c\";User ID=x", "<Password>=<a;b=c><User ID>=<x>"},
        {"Password='it''s';X=1", "<Password>=<it's><X>=<1>"},
        {"Password=\"say \"\"hi\"\"\"", "<Password>=<say \"hi\">"},
        {"Password=\"  padded  \"", "<Password>=<  padded  >"},
        {"Password=\"it's\"", "<Password>=<it's>"},
        {";;A=1;;;B=2;", "<A>=<1><B>=<2>"},
        {"A=;B=2", "<A>=<><B>=<2>"},
        {"no equals sign;A=1", "<A>=<1>"},
        {"=orphan;A=1", "<A>=<1>"},
        {"Driver={MariaDB Unicode};Server=h", "<Driver>=<{MariaDB Unicode}><Server>=<h>"},
        {"A=x=y", "<A>=<x=y>"},
        {"Password=\"unterminated;A=1", "<Password>=<unterminated;A=1>"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(ado::ParseConnectionString(c.text)), c.expected) << c.text;
}

TEST(ConnectionString, FindPropertyTakesTheLastOneAndIgnoresCase) {
    const auto properties = ado::ParseConnectionString("provider=a;PROVIDER=b;Other=c");
    EXPECT_EQ(ado::FindProperty(properties, "Provider"), "b");
    EXPECT_EQ(ado::FindProperty(properties, "missing"), std::nullopt);
}

TEST(ConnectionString, RedactPasswordsLeavesNoPartOfAPassword) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"Provider=SQLOLEDB;User ID=sa;Password=segredo", "Provider=SQLOLEDB;User ID=sa;Password=***"},
        {"PWD=\"seg;redo\";UID=u", "PWD=***;UID=u"},
        {"pwd='a''b';Data Source=x", "pwd=***;Data Source=x"},
        {"Jet OLEDB:Database Password=jet;Data Source=c:\\a.mdb",
         "Jet OLEDB:Database Password=***;Data Source=c:\\a.mdb"},
        {"Data Source=srv", "Data Source=srv"},
    };
    for (const auto& c : cases) EXPECT_EQ(ado::RedactPasswords(c.text), c.expected) << c.text;
}

TEST(ClassifyProvider, NamesWithOrWithoutVersion) {
    struct Case {
        const char* name;
        ProviderKind kind;
    } cases[] = {
        {"SQLOLEDB.1", ProviderKind::SqlServer},
        {"sqloledb", ProviderKind::SqlServer},
        {"SQLNCLI11", ProviderKind::SqlServer},
        {"SQLNCLI10.1", ProviderKind::SqlServer},
        {"MSOLEDBSQL19", ProviderKind::SqlServer},
        {"MSOLEDBSQL", ProviderKind::SqlServer},
        {"Microsoft.Jet.OLEDB.4.0", ProviderKind::Access},
        {"microsoft.jet.oledb.3.51", ProviderKind::Access},
        {"Microsoft.ACE.OLEDB.12.0", ProviderKind::Access},
        {"MSDASQL.1", ProviderKind::Odbc},
        {"MSDASQL", ProviderKind::Odbc},
        {"SQLite", ProviderKind::Sqlite},
        {" SQLite ", ProviderKind::Sqlite},
        {"Foo", ProviderKind::Unknown},
        {"", ProviderKind::Unknown},
        {"SQLOLEDBX", ProviderKind::Unknown},
        {"Microsoft.Jet", ProviderKind::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(ado::ClassifyProvider(c.name), c.kind) << c.name;
}

}  // namespace

// Reading ADO connection strings and choosing the provider they name.
#include <gtest/gtest.h>

#include <algorithm>
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
        {"Driver={MariaDB Unicode};Server=h", "<Driver>=<MariaDB Unicode><Server>=<h>"},
        {"PWD={a;b}}c};UID=u", "<PWD>=<a;b}c><UID>=<u>"},
        {"A = {  spaced } ;B=2", "<A>=<  spaced ><B>=<2>"},
        {"A={x}junk;B=1", "<A>=<{x}junk><B>=<1>"},
        {"A={unclosed;PWD=p", "<A>=<{unclosed><PWD>=<p>"},
        {"\tPWD\t=\tx\t;B=1", "<PWD>=<x><B>=<1>"},
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
        {"PWD=;X=1", "PWD=***;X=1"},
        {"Provider=MSDASQL;DSN=x;Jet OLEDB:Database Password=jet",
         "Provider=MSDASQL;DSN=x;Jet OLEDB:Database Password=***"},
        {"Password = \"a;b\" ; X=1", "Password = ***; X=1"},
        {"pAsSwOrD={x;}}y};X=1", "pAsSwOrD=***;X=1"},
        {"Extended Properties=\"PWD=segredo;DSN=x\"", "Extended Properties=\"PWD=***;DSN=x\""},
        {"Extended Properties=\"DSN=x;\tPWD\t= {a;b}\"", "Extended Properties=\"DSN=x;\tPWD\t= ***\""},
        {"Extended Properties='Extended Properties=\"PWD=s\"'",
         "Extended Properties='Extended Properties=\"PWD=***\"'"},
        {"Extended Properties=PWD=s", "Extended Properties=PWD=***"},
        {"Driver={X;PWD=segredo;UID=u", "Driver={X;PWD=***;UID=u"},
        {"PWD={seg;redo;UID=u", "PWD=***"},
        {"PWD=\"seg;redo;UID=u", "PWD=***"},
        // Quotes mean nothing to an ODBC driver: it reads a password here.
        {"X=\"a;PWD=segredo\";Y=1", "X=\"a;PWD=***;Y=1"},
        {"X=\"a;PWD=segredo", "X=\"a;PWD=***"},
    };
    for (const auto& c : cases) EXPECT_EQ(ado::RedactPasswords(c.text), c.expected) << c.text;
}

// Passwords blanked out of what a driver says where they stand as a
// password's value, however it quotes them; a text holding one anywhere else
// is withheld whole, since a blank in "Can't *** to server" would show it.
TEST(ConnectionString, RedactSecretsHidesEveryFormOfAPassword) {
    const std::string withheld = ado::kWithheldText;
    struct Case {
        const char* connectionString;
        const char* message;
        std::string expected;
    } cases[] = {
        {"PWD=connect", "Can't connect to server", withheld},
        {"PWD=connect", "Can't connect; PWD=connect", withheld},
        {"PWD=Connect", "Can't connect to server", "Can't connect to server"},
        {"PWD=connect", "bad string PWD=connect;UID=u", "bad string PWD=***;UID=u"},
        {"PWD=abc", "user 'abc' (password abc)", withheld},
        {"PWD=x", "PWD={x};Xx=1", withheld},
        {"PWD=segredo", "asegredob", withheld},
        {"PWD={x;y}}z}", "PWD={x;y}}z}; Password = \"x;y}z\"", "PWD={***}; Password = \"***\""},
        {"PWD={x;y}}z}", "PWD={x;y}}z} y}z", withheld},
        {"PWD=\"say \"\"hi\"\"\"", "PWD=\"say \"\"hi\"\"\" say \"hi\"", withheld},
        {"PWD=\"say \"\"hi\"\"\"", "PWD=\"say \"\"hi\"\"\"", "PWD=***"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=x;PWD=zz\"", "login with pwd=zz failed",
         "login with pwd=*** failed"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=x;PWD=zz\"", "login with pwd=zz failed, fizzy",
         withheld},
        {"Driver={X;PWD=s3}", "cannot open lib 'X;PWD=s3'", "cannot open lib 'X;PWD=***'"},
        {"Data Source=srv", "srv", "srv"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ado::RedactSecrets(c.message, ado::PasswordValues(c.connectionString)), c.expected)
            << c.connectionString << " | " << c.message;
}

// A megabyte of values nested in values: the search for passwords reads each
// level once in each of its two readings (ADO's and ODBC's), never once per
// way of reaching it, and a string that would need more says that its
// passwords are unknown, which hides every text.
TEST(ConnectionString, PasswordSearchReadsNestedValuesInLinearTime) {
    auto enclose = [](const std::string& value, char open, char close) {
        std::string out(1, open);
        for (std::size_t at = 0, next; at <= value.size(); at = next + 1) {
            next = std::min(value.find(close, at), value.size());
            out.append(value, at, next - at);
            if (next < value.size()) out.append(2, close);
        }
        return out + close;
    };
    const std::string innermost = "A=" + std::string(1 << 20, 'a') + ";PWD=segredo";
    std::string braced = innermost, mixed = innermost;
    for (int level = 0; level < 8; ++level) {
        braced = "X=" + enclose(braced, '{', '}');
        mixed = "X=" + (level % 2 ? enclose(mixed, '"', '"') : enclose(mixed, '{', '}'));
    }
    std::size_t read = 0;
    const auto values = ado::PasswordValues(braced, &read);
    EXPECT_LE(read, 2 * 9 * braced.size());
    EXPECT_NE(std::find(values.begin(), values.end(), "segredo"), values.end());
    EXPECT_EQ(ado::RedactSecrets("PWD=segredo", values), "PWD=***");

    const auto unknown = ado::PasswordValues(mixed, &read);
    EXPECT_LE(read, 2 * 9 * mixed.size() + 65536);
    EXPECT_EQ(ado::RedactSecrets("login failed", unknown), "***");
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

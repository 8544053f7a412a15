// Translating ADO connection strings for the ODBC driver manager, and what an
// ODBC failure becomes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "ado/OdbcConnectionString.h"
#include "ado/OdbcProvider.h"

namespace {

using ado::ProviderKind;

const std::vector<std::string> kFreeTdsOnly = {"FreeTDS", "MariaDB Unicode"};
const std::vector<std::string> kMicrosoft = {"FreeTDS", "ODBC Driver 17 for SQL Server",
                                             "ODBC Driver 18 for SQL Server"};
const std::vector<std::string> kAccess = {"Microsoft Access Driver (*.mdb, *.accdb)"};
const std::vector<std::string> kOldAccess = {"Microsoft Access Driver (*.mdb)"};

std::string build(ProviderKind kind, const char* ado, const std::vector<std::string>& drivers) {
    return ado::BuildOdbcConnectionString(kind, ado::ParseConnectionString(ado), drivers);
}

TEST(BraceOdbcValue, BracesOnlyWhatCouldEndThePair) {
    struct Case {
        const char* value;
        const char* expected;
    } cases[] = {
        {"plain", "plain"},   {"", ""},
        {"a=b", "a=b"},       {"a;b", "{a;b}"},
        {"a}b", "{a}}b}"},    {"{x}", "{{x}}}"},
        {" lead", "{ lead}"}, {"x;Driver={evil}", "{x;Driver={evil}}}"},
    };
    for (const auto& c : cases) EXPECT_EQ(ado::BraceOdbcValue(c.value), c.expected) << c.value;
}

TEST(BuildOdbcConnectionString, SqlServer) {
    struct Case {
        const char* ado;
        const std::vector<std::string>* drivers;
        const char* expected;
    } cases[] = {
        {"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=x;Initial Catalog=Quelvomir;"
         "Data Source=SRV\\SQL;Packet Size=4096;Workstation ID=PC;Auto Translate=True;Use Procedure for "
         "Prepare=1",
         &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};Server=SRV\\SQL;Database=Quelvomir;UID=sa;PWD=x;Encrypt=no"},
        {"Provider=SQLNCLI11;Server=srv;Database=db;Integrated Security=SSPI", &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};Server=srv;Database=db;Trusted_Connection=yes;Encrypt=no"},
        {"Provider=MSOLEDBSQL;Address=srv;Encrypt=yes;TrustServerCertificate=true", &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};Server=srv;Encrypt=yes;TrustServerCertificate=yes"},
        {"Provider=SQLOLEDB;Data Source=srv;Integrated Security=false", &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};Server=srv;Encrypt=no"},
        {"Provider=SQLOLEDB;Data Source=srv,1433;User ID=sa;Password=x;Initial Catalog=db", &kFreeTdsOnly,
         "Driver={FreeTDS};Server=srv;Port=1433;Database=db;UID=sa;PWD=x;Encryption=request;TDS_Version=7.4;"
         "ClientCharset=UTF-8"},
        {"Provider=SQLOLEDB;Data Source=(local);Encrypt=True", &kFreeTdsOnly,
         "Driver={FreeTDS};Server=localhost;Encryption=require;TDS_Version=7.4;ClientCharset=UTF-8"},
        {"Provider=SQLOLEDB;Use Encryption for Data=True;TrustServerCertificate=False", &kFreeTdsOnly,
         "Driver={FreeTDS};Encryption=require;TDS_Version=7.4;ClientCharset=UTF-8"},
        {"Provider=SQLOLEDB;Encrypt=no", &kFreeTdsOnly,
         "Driver={FreeTDS};Encryption=request;TDS_Version=7.4;ClientCharset=UTF-8"},
        {"Provider=SQLOLEDB;Use Encryption for Data=True;TrustServerCertificate=False", &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};Encrypt=yes;TrustServerCertificate=no"},
        {"Provider=SQLOLEDB;Password={a;b}}c}", &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};PWD={a;b}}c};Encrypt=no"},
        // Hostile values: each stays inside its own pair.
        {"Provider=SQLOLEDB;Data Source=srv;Password=\"a;Trusted_Connection=yes\";User ID=\"u}x\"",
         &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL "
         "Server};Server=srv;UID={u}}x};PWD={a;Trusted_Connection=yes};Encrypt=no"},
        {"Provider=SQLOLEDB;Initial Catalog=\"db};Driver={evil\"", &kMicrosoft,
         "Driver={ODBC Driver 18 for SQL Server};Database={db}};Driver={evil};Encrypt=no"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(build(ProviderKind::SqlServer, c.ado, *c.drivers), c.expected) << c.ado;

    // The newest of Microsoft's drivers that the driver manager lists.
    const struct {
        std::vector<std::string> registered;
        const char* chosen;
    } choices[] = {
        {{"ODBC Driver 17 for SQL Server", "FreeTDS"}, "ODBC Driver 17 for SQL Server"},
        {{"SQL Server", "ODBC Driver 17 for SQL Server", "SQL Server Native Client 11.0"},
         "ODBC Driver 17 for SQL Server"},
        {{"SQL Server", "SQL Server Native Client 11.0", "FreeTDS"}, "SQL Server Native Client 11.0"},
        {{"FreeTDS", "SQL Server"}, "SQL Server"},
    };
    for (const auto& c : choices)
        EXPECT_EQ(build(ProviderKind::SqlServer, "Data Source=s", c.registered),
                  std::string("Driver={") + c.chosen + "};Server=s;Encrypt=no")
            << c.chosen;
}

TEST(RegisteredOdbcDrivers, AreTheOnesTheDriverManagerLists) {
    // The MariaDB driver that the tests use is registered with unixODBC, and
    // reaches a Windows program through Wine's driver manager as well.
    const std::vector<std::string> drivers = ado::RegisteredOdbcDrivers();
    EXPECT_NE(std::find(drivers.begin(), drivers.end(), "MariaDB Unicode"), drivers.end());
}

TEST(BuildOdbcConnectionString, Access) {
    EXPECT_EQ(build(ProviderKind::Access,
                    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Quelvomir\\Dados.mdb;"
                    "Jet OLEDB:Database Password=\"p;w\";Persist Security Info=False",
                    kAccess),
              "Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=C:\\Quelvomir\\Dados.mdb;PWD={p;w}");
    EXPECT_EQ(
        build(ProviderKind::Access, "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=a.accdb", kOldAccess),
        "Driver={Microsoft Access Driver (*.mdb)};DBQ=a.accdb");
}

TEST(BuildOdbcConnectionString, AProviderWithoutADriverIsNotFound) {
    struct Case {
        ProviderKind kind;
        const char* ado;
    } cases[] = {
        {ProviderKind::Access, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb"},
        {ProviderKind::SqlServer, "Provider=SQLOLEDB;Data Source=srv"},
        {ProviderKind::Unknown, "Provider=Foo"},
    };
    for (const auto& c : cases) {
        try {
            build(c.kind, c.ado, {"MariaDB Unicode"});
            ADD_FAILURE() << "no failure for " << c.ado;
        } catch (const ado::AdoError& e) {
            EXPECT_EQ(e.status(), 0x800A0E7Au) << c.ado;  // 3706
        }
    }
}

TEST(BuildOdbcConnectionString, OdbcPassesKeysOnAndMapsMsdasqlOwn) {
    struct Case {
        const char* ado;
        const char* expected;
    } cases[] = {
        {"Provider=MSDASQL;Driver={MariaDB "
         "Unicode};Server=h;Port=3306;Database=d;User=root;Password=\"p;w}\"",
         "Driver={MariaDB Unicode};Server=h;Port=3306;Database=d;User=root;PWD={p;w}}};AUTO_RECONNECT=0"},
        {"DSN=Quelvomir;UID=u;PWD=p", "DSN=Quelvomir;UID=u;PWD=p"},
        {"Provider=MSDASQL.1;Data Source=Quelvomir;User ID=u;Password=p;Initial Catalog=c",
         "DSN=Quelvomir;UID=u;PWD=p;DATABASE=c"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=x;PWD={a;b}\"", "DSN=x;PWD={a;b}"},
        {"Provider=MSDASQL;Driver={MariaDB Unicode};PWD={a;b}}c};UID=u",
         "Driver={MariaDB Unicode};PWD={a;b}}c};UID=u;AUTO_RECONNECT=0"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=x;\tPWD\t= {a;b}}c} ;Driver=d\"",
         "DSN=x;PWD={a;b}}c};Driver={d}"},
        {"Driver={Bad}Brace};Server=h", "Driver={{Bad}}Brace}}};Server=h"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(build(ProviderKind::Odbc, c.ado, {}), c.expected) << c.ado;
}

TEST(RedactOdbcPasswords, HidesBracedAndPlainPasswords) {
    struct Case {
        const char* odbc;
        const char* expected;
    } cases[] = {
        {"Driver=X;PWD=plain;UID=u", "Driver=X;PWD=***;UID=u"},
        {"Driver=X;PWD={a;b}}c};UID=u", "Driver=X;PWD=***;UID=u"},
        {"Password={x;y}", "Password=***"},
        {"pwd=z", "pwd=***"},
        {"Driver={MariaDB Unicode};Server=h", "Driver={MariaDB Unicode};Server=h"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ado::RedactOdbcPasswords(c.odbc), c.expected) << c.odbc;
}

TEST(RequestedLoginTimeout, ReadsEitherKey) {
    EXPECT_EQ(ado::RequestedLoginTimeout(ado::ParseConnectionString("Connect Timeout=5")), 5);
    EXPECT_EQ(ado::RequestedLoginTimeout(ado::ParseConnectionString("Connection Timeout=0")), 0);
    EXPECT_EQ(ado::RequestedLoginTimeout(ado::ParseConnectionString("Connect Timeout=abc")), std::nullopt);
    EXPECT_EQ(ado::RequestedLoginTimeout(ado::ParseConnectionString("Data Source=x")), std::nullopt);
}

TEST(RequestedCommandTimeout, ReadsItsKeyOnly) {
    EXPECT_EQ(ado::RequestedCommandTimeout(ado::ParseConnectionString("Command Timeout=7")), 7);
    EXPECT_EQ(ado::RequestedCommandTimeout(ado::ParseConnectionString("Connect Timeout=7")), std::nullopt);
    EXPECT_EQ(ado::RequestedCommandTimeout(ado::ParseConnectionString("Command Timeout=-1")), std::nullopt);
}

// The registry of a machine where the MariaDB driver is registered under a
// name of its own as well, and FreeTDS under Windows' name for SQL Server.
ado::OdbcRegistry registry() {
    ado::OdbcRegistry r;
    r.drivers = {{"MariaDB Unicode", "libmaodbc.so"},
                 {"Banco Laudos", "/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so"},
                 {"SQL Server", "libtdsodbc.so"},
                 {"Outro", "/opt/outro/libqualquer.so"}};
    r.dataSources = {
        {"Quelvomir", "Banco Laudos"}, {"Direto", "/usr/lib/odbc/libmaodbc.so"}, {"Tds", "SQL Server"}};
    return r;
}

// Reconnection is turned off for the MySQL and MariaDB family, however it is
// registered, after every key that could turn it on, and the time-outs are
// added unless the string sets them; other drivers get no such keys.
TEST(PlanOdbcConnection, SafeguardsFollowTheFamilyAndComeLast) {
    struct Case {
        const char* ado;
        ado::DriverFamily family;
        const char* expected;
    } cases[] = {
        {"Driver={MariaDB Unicode};AUTO_RECONNECT=1;OPTION=4194307", ado::DriverFamily::MySql,
         "Driver={MariaDB Unicode};AUTO_RECONNECT=1;OPTION=4194307;AUTO_RECONNECT=0;OPTION=3;CONN_TIMEOUT=15;"
         "READ_TIMEOUT=30;WRITE_TIMEOUT=30"},
        {"DSN=Quelvomir;READ_TIMEOUT=5;options={4194304}", ado::DriverFamily::MySql,
         "DSN=Quelvomir;READ_TIMEOUT=5;options=4194304;AUTO_RECONNECT=0;OPTION=0;CONN_TIMEOUT=15;"
         "WRITE_TIMEOUT=30"},
        {"Provider=MSDASQL;Driver={Banco Laudos};Server=h", ado::DriverFamily::MySql,
         "Driver={Banco Laudos};Server=h;AUTO_RECONNECT=0;CONN_TIMEOUT=15;READ_TIMEOUT=30;WRITE_TIMEOUT=30"},
        {"Data Source=Direto", ado::DriverFamily::MySql,
         "DSN=Direto;AUTO_RECONNECT=0;CONN_TIMEOUT=15;READ_TIMEOUT=30;WRITE_TIMEOUT=30"},
        {"Driver=/opt/maodbc/lib/libmaodbc.so", ado::DriverFamily::MySql,
         "Driver={/opt/maodbc/lib/"
         "libmaodbc.so};AUTO_RECONNECT=0;CONN_TIMEOUT=15;READ_TIMEOUT=30;WRITE_TIMEOUT=30"},
        // The driver manager takes a data source named before any Driver key.
        {"DSN=Quelvomir;Driver={Outro}", ado::DriverFamily::MySql,
         "DSN=Quelvomir;Driver={Outro};AUTO_RECONNECT=0;CONN_TIMEOUT=15;READ_TIMEOUT=30;WRITE_TIMEOUT=30"},
        {"Driver={Outro};DSN=Quelvomir;OPTION=4194304", ado::DriverFamily::Other,
         "Driver={Outro};DSN=Quelvomir;OPTION=4194304"},
        {"Driver={MySQL-ish Mas Outro};Driver={Outro}", ado::DriverFamily::Other,
         "Driver={MySQL-ish Mas Outro};Driver={Outro}"},
        {"DSN=Tds;Server=x", ado::DriverFamily::FreeTds, "DSN=Tds;Server=x"},
        {"DSN=NaoExiste", ado::DriverFamily::Other, "DSN=NaoExiste"},
        {"FILEDSN=/x.dsn", ado::DriverFamily::Other, "FILEDSN=/x.dsn"},
    };
    for (const auto& c : cases) {
        const auto plan = ado::PlanOdbcConnection(ProviderKind::Odbc, ado::ParseConnectionString(c.ado),
                                                  registry(), 15, 30);
        EXPECT_EQ(plan.text, c.expected) << c.ado;
        EXPECT_EQ(plan.family, c.family) << c.ado;
    }
    // "SQL Server" registered for FreeTDS's library gets FreeTDS's keys.
    const auto tds = ado::PlanOdbcConnection(ProviderKind::SqlServer,
                                             ado::ParseConnectionString("Provider=SQLOLEDB;Data Source=h,1"),
                                             registry(), 15, 30);
    EXPECT_EQ(tds.text,
              "Driver={SQL Server};Server=h;Port=1;Encryption=request;TDS_Version=7.4;ClientCharset=UTF-8");
    EXPECT_EQ(tds.family, ado::DriverFamily::FreeTds);
}

// Each family gets each value in the form it reads back as that value; what
// it cannot read so is refused, never passed on.
TEST(PlanOdbcConnection, WritesEachValueAsItsFamilyReadsIt) {
    const char* refused = nullptr;
    struct Case {
        std::string ado;
        const char* expected;  // nullptr: refused
    } cases[] = {
        // MariaDB: braces only for keys it knows; other keys end at ";".
        {"Driver={MariaDB Unicode};Description={a;b}", "Driver={MariaDB Unicode};Description={a;b}"},
        {"Driver={MariaDB Unicode};X={a;AUTO_RECONNECT=1;b}", refused},
        {"Driver={MariaDB Unicode};AUTO_RECONNECT=1;App=\"x;y\"", refused},
        {"Driver={MariaDB Unicode};App='x;y';Server=h", refused},
        {"Driver={MariaDB Unicode};App=\"x}\"", refused},
        {"Driver={MariaDB Unicode};App=\"x\";Server=h", "Driver={MariaDB Unicode};App=x;Server=h"},
        {"Driver={MariaDB Unicode};App=\"x;y", refused},  // an unclosed quote runs on
        {"Driver={MariaDB Unicode};App={x", refused},     // the driver manager reads braces
        {"Driver={MariaDB Unicode};PWD=\"p}w;x\";Database='d;b'",
         "Driver={MariaDB Unicode};PWD={p}}w;x};Database={d;b}"},
        {"Driver={MariaDB Unicode};PWD={ p}", refused},  // the driver trims blanks
        {"Driver={MariaDB Unicode};Extended Properties=\"Server=h;X={a;b}\"", refused},
        {"Driver={MariaDB Unicode};Extended Properties=\"Server=h;INITSTMT={a;b}\"",
         "Driver={MariaDB Unicode};Server=h;INITSTMT={a;b}"},
        // FreeTDS: "};" ends a braced value and "}}" stays as it is.
        {"Driver={FreeTDS};PWD=\"p;w\"", "Driver={FreeTDS};PWD={p;w}"},
        {"Driver={FreeTDS};PWD=\"p}w\"", "Driver={FreeTDS};PWD=p}w"},
        {"Driver={FreeTDS};PWD=\"p}w;x\"", refused},
        {"Driver={FreeTDS};Database=\"db};DumpFile=/tmp/x;\"", refused},
        {"Driver={FreeTDS};Database={{db}", "Driver={FreeTDS};Database={{db}"},
        // Any other driver: ODBC's own braces.
        {"Driver={Outro};X={a;b}}c}", "Driver={Outro};X={a;b}}c}"},
    };
    for (const auto& c : cases) {
        const auto properties = ado::ParseConnectionString(c.ado);
        try {
            const auto plan = ado::PlanOdbcConnection(ProviderKind::Odbc, properties, registry(), 0, 0);
            std::string text = plan.text;
            if (auto guard = text.find(";AUTO_RECONNECT=0"); guard != std::string::npos) text.erase(guard);
            if (c.expected)
                EXPECT_EQ(text, c.expected) << c.ado;
            else
                ADD_FAILURE() << "not refused: " << c.ado << " -> " << plan.text;
        } catch (const ado::AdoError& e) {
            EXPECT_FALSE(c.expected) << c.ado << ": " << e.what();
            EXPECT_EQ(e.status(), 0x80040E96u) << c.ado;
        }
    }
    const auto sqlServer = [](const char* ado) {
        return ado::PlanOdbcConnection(ProviderKind::SqlServer, ado::ParseConnectionString(ado), registry(),
                                       0, 0);
    };
    EXPECT_THROW(sqlServer("Provider=SQLOLEDB;Initial Catalog=\"db};DumpFile=/tmp/x;\""), ado::AdoError);
    EXPECT_THROW(sqlServer("Provider=SQLOLEDB;Password=\"p}w;x\""), ado::AdoError);
}

TEST(StatusForSqlState, MapsEachKindOfFailure) {
    struct Case {
        const char* state;
        long native;
        bool connecting;
        std::uint32_t status;
    } cases[] = {
        {"42S02", 1146, false, 0x80040E37u},  {"S0002", 0, false, 0x80040E37u},
        {"23000", 1062, false, 0x80040E2Fu},  {"23505", 0, false, 0x80040E2Fu},
        {"42000", 1064, false, 0x80040E14u},  {"42S22", 1054, false, 0x80040E14u},
        {"37000", 0, false, 0x80040E14u},     {"21S01", 0, false, 0x80040E14u},
        {"22001", 0, false, 0x80040E14u},     {"07002", 0, false, 0x80040E14u},
        {"25000", 0, false, 0x80040E14u},     {"28000", 1045, true, 0x80040E4Du},
        {"28000", 18456, false, 0x80040E4Du}, {"08001", 2002, true, 0x80040E96u},
        {"08S01", 2013, false, 0x80070040u},  {"IM002", 0, true, 0x80040E96u},
        {"IM002", 0, false, 0x80040E96u},     {"42000", 1049, true, 0x80040E96u},
        {"HYT00", 0, true, 0x80040E96u},      {"HYT00", 0, false, 0x80040E31u},
        {"HYT01", 0, false, 0x80040E31u},     {"40001", 1213, false, 0x80040E31u},
        {"HY008", 0, false, 0x80040E31u},     {"HY000", 2006, false, 0x80070040u},
        {"HY000", 2013, false, 0x80070040u},  {"HY000", 1205, false, 0x80040E31u},
        {"HY000", 1, false, 0x80004005u},     {"HY001", 0, true, 0x8007000Eu},
        {"HY001", 0, false, 0x8007000Eu},     {"HY010", 0, false, 0x80004005u},
        {"08003", 0, false, 0x80070040u},     {"HY000", 2055, false, 0x80070040u},
        {"HY000", 5014, false, 0x80070040u},
        // A lost connection is told by its native number whatever SQLSTATE
        // wraps it, never as a lack of memory.
        {"HY001", 2013, false, 0x80070040u},  {"HY001", 2006, true, 0x80040E96u},
        {"S1000", 5013, false, 0x80070040u},  {"01000", 20017, false, 0x80070040u},
        {"42000", 20004, false, 0x80070040u}, {"HY000", 20006, false, 0x80070040u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ado::StatusForSqlState(c.state, c.native, c.connecting), c.status)
            << c.state << " " << c.native << " " << c.connecting;
}

}  // namespace

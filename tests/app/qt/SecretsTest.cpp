// A password in the configured connection string never reaches the operator's
// messages or the diagnostics on standard error, whatever fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "DE.h"
#include "FakeToolkit.h"
#include "MariaDbServer.h"
#include "Module1.h"
#include "QtApplication.h"
#include "TempDir.h"
#include "qt/frmPrincipal.h"

namespace {

const std::string kPassword = "S3gr3d0;Xyz}9";

std::string quotedPassword() { return "\"" + kPassword + "\""; }

TEST(Secrets, PasswordsStayOutOfMessagesAndDiagnostics) {
    testing_support::EnsureApplication();
    testing_support::TempDir temp;
    std::optional<std::string> savedWindir;
    if (const char* windir = std::getenv("WINDIR")) savedWindir = windir;
    setenv("WINDIR", temp.path().c_str(), 1);

    testing_support::MariaDbServer& server = testing_support::MariaDbServer::Shared();
    const std::string connectionStrings[] = {
        // SQL Server through FreeTDS, nothing listening on the port.
        "Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;Initial Catalog=Quelvomir;User ID=sa;Password=" +
            quotedPassword() + ";Connect Timeout=2",
        // A real server that refuses the password.
        "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
            ";User=root;Password=" + quotedPassword(),
        "Provider=MSDASQL;DSN=NaoExiste;UID=sa;PWD=" + quotedPassword(),
        "Provider=Desconhecido.1;Password=" + quotedPassword(),
        "Provider=SQLite;Data Source=" + temp.file("nao-existe.db") + ";Password=" + quotedPassword(),
    };
    for (const auto& connectionString : connectionStrings) {
        SCOPED_TRACE(connectionString.substr(0, 40));
        temp.write("Quelvomir.INI", "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n");
        testing_support::FakeToolkit ui;
        frmPrincipal w(&ui);

        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(w.Load());
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();

        ASSERT_EQ(ui.calls.size(), 1u);
        EXPECT_EQ(ui.calls[0].prompt.rfind("Ao abrir a conexão com o banco de dados ocoreu o seguinte erro.", 0),
                  0u);
        EXPECT_EQ(ui.calls[0].prompt.find("S3gr3d0"), std::string::npos) << ui.calls[0].prompt;
        EXPECT_FALSE(diagnostics.empty()) << "the IT person is told what failed";
        EXPECT_EQ(diagnostics.find("S3gr3d0"), std::string::npos) << diagnostics;
        EXPECT_EQ(DE::Instance().Conexão_Atual().State(), ado::adStateClosed);
    }

    if (savedWindir)
        setenv("WINDIR", savedWindir->c_str(), 1);
    else
        unsetenv("WINDIR");
}

}  // namespace

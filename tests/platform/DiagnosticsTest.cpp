#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "DiagnosticLog.h"
#include "Diagnostics.h"

using testing_support::DiagnosticLog;

// Standard error gets each diagnostic as one whole line, "category: text";
// while a log lives it gets nothing, and once the log goes it gets them again.
TEST(Diagnostics, GoToStandardErrorAsWholeLinesUnlessALogTakesThem) {
    ::testing::internal::CaptureStderr();
    platform::Diagnose("ODBC", "connection refused: the server's sql_mode lacks NO_BACKSLASH_ESCAPES");
    {
        DiagnosticLog log;
        platform::Diagnose("SQLite", "no such table: Exame; statement: DELETE FROM Exame");
        {
            DiagnosticLog inner;
            platform::Diagnose("clsADO", "out of memory");
            EXPECT_EQ(inner.entries(), (std::vector<DiagnosticLog::Entry>{{"clsADO", "out of memory"}}));
        }
        platform::Diagnose("Connection", "x");
        EXPECT_EQ(log.entries(), (std::vector<DiagnosticLog::Entry>{
                                     {"SQLite", "no such table: Exame; statement: DELETE FROM Exame"},
                                     {"Connection", "x"}}));
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) platform::Diagnose("remover-exame", std::string(64, 'a'));
        });
    for (auto& thread : threads) thread.join();
    const std::string written = ::testing::internal::GetCapturedStderr();

    const std::string first = "ODBC: connection refused: the server's sql_mode lacks NO_BACKSLASH_ESCAPES\n";
    std::string expected = first;
    for (int i = 0; i < 800; ++i) expected += "remover-exame: " + std::string(64, 'a') + "\n";
    EXPECT_EQ(written, expected);
}

// The fixture of the start-up tests, with a window and without: the
// configuration read by an earlier test forgotten, WINDIR pointed at folders
// of the test's own and put back afterwards, the program's connection left
// closed, and the toolkit double.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "DE.h"
#include "FakeToolkit.h"
#include "Module1.h"
#include "TempDir.h"

namespace testing_support {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* windir = std::getenv("WINDIR")) savedWindir_ = windir;
        Module1::gDirWindows.clear();
        Module1::gConnServer.clear();
        Module1::gConnLocal.clear();
        Module1::gDirSvr.clear();
    }
    void TearDown() override {
        // DE lives for the whole test program: leave its connection closed.
        ado::Connection& connection = DE::Instance().Conexão_Atual();
        if (connection.State() == ado::adStateOpen) connection.Close();
        if (savedWindir_)
            setenv("WINDIR", savedWindir_->c_str(), 1);
        else
            unsetenv("WINDIR");
    }

    // Makes directory the Windows directory, with a configuration file holding
    // ini when given.
    void useWindowsDirectory(const std::filesystem::path& directory, std::optional<std::string> ini = {}) {
        std::filesystem::create_directories(directory);
        setenv("WINDIR", directory.c_str(), 1);
        if (ini) temp.write(std::filesystem::relative(directory / "Quelvomir.INI", temp.path()), *ini);
    }

    // The start-up has ended the program, and the connection is closed.
    void expectEnded() {
        EXPECT_TRUE(ui.Ended());
        EXPECT_NE(ui.ExitCode(), 0);
        EXPECT_EQ(DE::Instance().Conexão_Atual().State(), ado::adStateClosed);
    }

    TempDir temp;
    FakeToolkit ui;

private:
    std::optional<std::string> savedWindir_;
};

}  // namespace testing_support

// clsIO on Windows: the file operations on accented names through the wide
// calls, and the free space of real drive letters, with each drive's
// directory given back. The cases both systems have are in ClsIoTest.cpp.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "CurrentDrive.h"
#include "TempDir.h"
#include "WideText.h"
#include "clsIO.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// Every program carries the manifest (src/app/remover-exame.manifest): the
// narrow calls that a library makes take UTF-8 text.
TEST(Manifest, MakesUtf8TheAnsiCodePage) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
}

TEST(ClsIoFileOperations, TakeAccentedNames) {
    TempDir dir;
    const std::string source = dir.write("laudo de conceição.txt", "conteúdo");
    clsIO io;
    EXPECT_TRUE(io.ZuCriarDiretório(dir.file("São Paulo")));
    EXPECT_TRUE(io.ZuCopy(source, dir.file("São Paulo\\cópia ç.txt")));
    EXPECT_TRUE(fs::exists(dir.path() / L"S\u00e3o Paulo" / L"c\u00f3pia \u00e7.txt"));
    EXPECT_TRUE(io.ZuKill(dir.file("São Paulo\\c*.txt")));
    EXPECT_FALSE(fs::exists(dir.path() / L"S\u00e3o Paulo" / L"c\u00f3pia \u00e7.txt"));
    EXPECT_EQ(io.ErrorNumber(), 0);
}

std::int64_t freeBytesOf(const std::string& root) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(platform::WideFromUtf8(root).c_str(), &available, &total, &free)) return -2;
    return static_cast<std::int64_t>(available.QuadPart);
}

// Other processes write to the same disks while the test runs.
constexpr std::int64_t kTolerance = 256ll << 20;

TEST(ZuEspaçoLivre, GivesBackEachDriveItsOwnDirectory) {
    // The test prefix (scripts/windows/wine-prefix) gives drive D: a directory of its own.
    if (GetDriveTypeW(L"D:\\") == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "no drive D:";
    TempDir work;
    const std::string before = platform::CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryW(work.path().c_str()));
    const std::string workDirectory = platform::CurrentDirectory();

    clsIO io;
    // Leaving drive C for D and coming back finds C's directory again.
    EXPECT_NEAR(static_cast<double>(io.ZuEspaçoLivre("D")), static_cast<double>(freeBytesOf("D:\\")),
                kTolerance);
    EXPECT_EQ(platform::CurrentDirectory(), workDirectory);
    // And from D, a query of C comes back to D.
    ASSERT_TRUE(platform::ChangeDrive("D:"));
    EXPECT_EQ(platform::CurrentDirectory(), "D:\\");
    EXPECT_NEAR(static_cast<double>(io.ZuEspaçoLivre("c:")), static_cast<double>(freeBytesOf("C:\\")),
                kTolerance);
    EXPECT_EQ(platform::CurrentDirectory(), "D:\\");
    EXPECT_EQ(io.ZuEspaçoLivre("Q"), -1);
    EXPECT_EQ(platform::CurrentDirectory(), "D:\\");

    ASSERT_TRUE(platform::ChangeDrive("C"));
    EXPECT_EQ(platform::CurrentDirectory(), workDirectory);
    SetCurrentDirectoryW(platform::WideFromUtf8(before).c_str());
}

}  // namespace

// clsIO on Windows: the existence test on Windows paths (either case,
// accented names through the wide calls) and the free space of real drive
// letters, with the current drive and its directory given back.

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

TEST(ZuDir, AnswersWhetherThePathNamesAnEntry) {
    TempDir dir;
    dir.write("a.txt", "a");
    dir.write("relatório.txt", "r");
    dir.write("README", "");
    fs::create_directories(dir.path() / "sub");
    dir.write("sub\\inner.ini", "");
    const std::string d = dir.file("");

    const struct {
        std::string path;
        bool expected;
    } cases[] = {
        {"", false},
        {"\\", false},
        {d + "a.txt", true},
        {d + "A.TXT", true},  // names are found in either case
        {d + "relatório.txt", true},
        {d + "RELATÓRIO.TXT", true},
        {d + "relatorio.txt", false},
        {d + "sub", true},
        {d + "sub\\", true},
        {d + "ausente", false},
        {d + "ausente\\", false},
        {d + "nada\\a.txt", false},
        {d + "*.txt", true},
        {d + "*.doc", false},
        {d + "?.txt", true},
        {d + "READ*.*", true},
        {d + "su?", true},  // directories match too
        {d + "sub\\*.ini", true},
        {d + "nada\\*", false},
        {d + "s*\\inner.ini", false},  // wildcards only in the last component
    };
    clsIO io;
    for (const auto& c : cases) EXPECT_EQ(io.ZuDir(c.path), c.expected) << "[" << c.path << "]";
    EXPECT_EQ(io.ErrorNumber(), 0);
    EXPECT_EQ(io.ErrorString(), "");
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

TEST(ZuEspaçoLivre, NormalisesTheDriveAndRestoresTheCurrentOne) {
    const struct {
        const char* drive;
        bool driveC;
    } cases[] = {
        {"c", true},         {"c:", true}, {"C:", true}, {"C:\\some\\path", true},
        {"c:\\Dados", true}, {"Cz", true}, {"", false},  {"Q", false},
        {"q:", false},       {":", false}, {"1", false}, {":C", false},
    };
    const std::string before = platform::CurrentDirectory();
    clsIO io;
    io.SetErrorNumber(5);
    io.SetErrorString("texto");
    for (const auto& c : cases) {
        const std::int64_t free = io.ZuEspaçoLivre(c.drive);
        if (c.driveC) {
            EXPECT_NEAR(static_cast<double>(free), static_cast<double>(freeBytesOf("C:\\")), kTolerance)
                << c.drive;
        } else {
            EXPECT_EQ(free, -1) << c.drive;
        }
        EXPECT_EQ(platform::CurrentDirectory(), before) << c.drive;
    }
    EXPECT_EQ(io.ErrorNumber(), 5);
    EXPECT_EQ(io.ErrorString(), "texto");
}

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

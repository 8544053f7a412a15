// clsIO on a POSIX system: the existence test on its paths, and the free
// space of the stand-in drives and of full paths.

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "CurrentDrive.h"
#include "TempDir.h"
#include "clsIO.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

TEST(ZuDir, AnswersWhetherThePathNamesAnEntry) {
    TempDir dir;
    dir.write("a.txt", "a");
    dir.write("b.TXT", "b");
    dir.write(".oculto", "");
    dir.write("README", "");
    fs::create_directories(dir.path() / "sub");
    dir.write("sub/inner.ini", "");
    fs::create_directory(dir.path() / "vazio");
    fs::create_symlink(dir.path() / "nao-existe", dir.path() / "quebrado");
    const std::string d = dir.path().string();

    const struct {
        std::string path;
        bool expected;
    } cases[] = {
        {"", false},
        {"\\", false},
        {"/", true},
        {d + "/a.txt", true},
        {d + "/A.TXT", false},
        {d + "/sub", true},
        {d + "/sub/", true},
        {d + "/sub\\", true},
        {d + "/quebrado", true},  // a link is an entry even when it leads nowhere
        {d + "/ausente", false},
        {d + "/ausente/", false},
        {d + "/nada/a.txt", false},
        {d + "/a.txt/x", false},
        {d + "/*.txt", true},
        {d + "/*.TXT", true},
        {d + "/*.doc", false},
        {d + "/?.txt", true},
        {d + "/??.txt", false},
        {d + "/READ*.*", true},
        {d + "/.ocu*", true},
        {d + "/su?", true},  // directories match too
        {d + "/sub/*.ini", true},
        {d + "/vazio/*", false},  // "." and ".." are not entries of their own
        {d + "/nada/*", false},
        {d + "/s*/inner.ini", false},  // wildcards only in the last component
    };
    clsIO io;
    for (const auto& c : cases) EXPECT_EQ(io.ZuDir(c.path), c.expected) << "[" << c.path << "]";
    EXPECT_EQ(io.ErrorNumber(), 0);
    EXPECT_EQ(io.ErrorString(), "");
}

std::int64_t freeBytesOf(const std::string& path) {
    struct statvfs info;
    if (statvfs(path.c_str(), &info) != 0) return -2;
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

// Other processes write to the same disks while the test runs.
constexpr std::int64_t kTolerance = 256ll << 20;

TEST(ZuEspaçoLivre, NormalisesTheDriveAndRestoresTheCurrentOne) {
    const struct {
        const char* drive;
        bool driveC;
    } cases[] = {
        {"c", true}, {"c:", true}, {"C:", true},  {"C:/some/path", true}, {"c:\\Dados", true}, {"Cz", true},
        {"", false}, {"Z", false}, {"z:", false}, {":", false},           {"1", false},        {":C", false},
    };
    // Drive C's current directory is the root, wherever the process works.
    const std::string before = platform::CurrentDirectory();
    EXPECT_EQ(before, "C:/");
    clsIO io;
    io.SetErrorNumber(5);
    io.SetErrorString("texto");
    for (const auto& c : cases) {
        const std::int64_t free = io.ZuEspaçoLivre(c.drive);
        if (c.driveC) {
            EXPECT_NEAR(static_cast<double>(free), static_cast<double>(freeBytesOf("/")), kTolerance)
                << c.drive;
        } else {
            EXPECT_EQ(free, -1) << c.drive;
        }
        EXPECT_EQ(platform::CurrentDirectory(), before) << c.drive;
    }
    EXPECT_EQ(io.ErrorNumber(), 5);
    EXPECT_EQ(io.ErrorString(), "texto");
}

TEST(ZuEspaçoLivre, AsksTheFileSystemThatHoldsAFullPath) {
    TempDir dir;
    const struct {
        std::string path;
        std::int64_t expected;
    } cases[] = {
        {"/", freeBytesOf("/")},
        {dir.path().string(), freeBytesOf(dir.path().string())},
        {"/proc", 0},  // a file system of its own, with no room at all
        {dir.file("ausente"), -1},
    };
    clsIO io;
    for (const auto& c : cases) {
        const std::int64_t free = io.ZuEspaçoLivre(c.path);
        if (c.expected > 0) {
            EXPECT_NEAR(static_cast<double>(free), static_cast<double>(c.expected), kTolerance) << c.path;
        } else {
            EXPECT_EQ(free, c.expected) << c.path;
        }
        EXPECT_EQ(platform::CurrentDirectory(), "C:/") << c.path;
    }
}

TEST(ZuEspaçoLivre, ComesBackToAnotherCurrentDrive) {
    TempDir dir;
    ASSERT_TRUE(platform::SubstDrive('d', dir.path().string()));
    ASSERT_TRUE(platform::ChangeDrive("D:"));
    clsIO io;
    EXPECT_NEAR(static_cast<double>(io.ZuEspaçoLivre("C")), static_cast<double>(freeBytesOf("/")),
                kTolerance);
    EXPECT_EQ(platform::CurrentDirectory(), "D:/");
    EXPECT_EQ(io.ZuEspaçoLivre("Q"), -1);
    EXPECT_EQ(platform::CurrentDirectory(), "D:/");
    ASSERT_TRUE(platform::ChangeDrive("C"));
    EXPECT_NEAR(static_cast<double>(io.ZuEspaçoLivre("d")),
                static_cast<double>(freeBytesOf(dir.path().string())), kTolerance);
    EXPECT_EQ(platform::CurrentDirectory().substr(0, 2), "C:");
    platform::SubstDrive('D', "");
}

}  // namespace

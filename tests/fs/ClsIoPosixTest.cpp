// clsIO on a POSIX system: the free space of full paths, and of a drive
// letter assigned to a directory. The cases both systems have are in
// ClsIoTest.cpp.

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "CurrentDrive.h"
#include "TempDir.h"
#include "clsIO.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::int64_t freeBytesOf(const std::string& path) {
    struct statvfs info;
    if (statvfs(path.c_str(), &info) != 0) return -2;
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

// Other processes write to the same disks while the test runs.
constexpr std::int64_t kTolerance = 256ll << 20;

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

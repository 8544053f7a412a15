// The file search behind ZuDir and ZuKill: the wildcard rules, and that no
// search leaves a directory handle open.

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>

#include "FileSearch.h"
#include "TempDir.h"
#include "clsIO.h"

namespace {

using testing_support::TempDir;

TEST(WildcardMatch, FollowsWhatAWindowsUserExpects) {
    const struct {
        const char* name;
        const char* pattern;
        bool expected;
    } cases[] = {
        {"laudo.txt", "*.txt", true},
        {"laudo.txt", "*.TXT", false},  // names are case-sensitive here
        {".oculto", "*", true},         // a star takes a leading dot too
        {".", "*", false},
        {"..", "*", false},
        {"a.b.c", "*.c", true},
        {"abcbc", "a*bc", true},
        {"abcbd", "a*bc", false},
        {"ç.txt", "?.txt", true},  // ? is one character, not one byte
        {"ç.txt", "??.txt", false},
        {"ab.txt", "?.txt", false},
        {"README", "*.*", true},  // "*.*" finds names without a dot as well
        {"relatorio", "rel*.*", true},
        {"nome", "nome.*", true},
        {"nome.txt", "nome.*", true},
        {"nomes", "nome.*", false},
        {"x", "*.", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::WildcardMatch(c.name, c.pattern), c.expected) << c.name << " ~ " << c.pattern;
    }
}

std::size_t openDescriptors() {
#ifdef _WIN32
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
#else
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
#endif
}

TEST(FindFirstMatch, LeavesNoDirectoryOpen) {
    TempDir dir;
    dir.write("a.txt", "");
    const std::string patterns[] = {dir.file("*.txt"), dir.file("*.doc"), dir.file("nada/*"),
                                    dir.file("a.txt")};
    clsIO io;
    const std::size_t before = openDescriptors();
    for (int i = 0; i < 2000; ++i) io.ZuDir(patterns[i % 4]);
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace

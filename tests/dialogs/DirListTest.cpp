// The directory list's rules, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "DirList.h"
#include "RuntimeError.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

class DirListTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(tmp.path() / "b");
        fs::create_directory(tmp.path() / "A");
        fs::create_directory(tmp.path() / "c");
        fs::create_directory(tmp.path() / ".oculto");
        tmp.write("arquivo.txt", "x");
        list.AddChangeHandler([this] { ++changes; });
    }

    std::string Dir(const std::string& name = "") const {
        return name.empty() ? tmp.path().string() : tmp.file(name);
    }

    testing_support::TempDir tmp;
    dialogs::DirList list;
    int changes = 0;
};

TEST_F(DirListTest, SettingThePathNormalisesItOrRefusesIt) {
    struct Case {
        std::string value;
        std::string path;  // expected path afterwards; empty: refused
        int error;
    };
    const Case cases[] = {
        {Dir("b"), Dir("b"), 0},
        {Dir("b") + "/", Dir("b"), 0},
        {Dir("b") + "/../A/.", Dir("A"), 0},
        {"c:", "/", 0},
        {"C:", "/", 0},
        {"c: /", "/", 0},
        {Dir("arquivo.txt"), "", 76},
        {Dir("falta"), "", 76},
        {Dir("falta") + "/b", "", 76},
        {"", "", 76},
        {"x:", "", 68},
    };
    for (const auto& c : cases) {
        list.SetPath(Dir("c"));
        try {
            list.SetPath(c.value);
            EXPECT_EQ(c.error, 0) << c.value;
            EXPECT_EQ(list.Path(), c.path) << c.value;
        } catch (const platform::RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << c.value;
            EXPECT_EQ(list.Path(), Dir("c")) << c.value;
        }
    }
}

TEST_F(DirListTest, ChangeEventWhenThePathChangesAlsoFromCode) {
    list.SetPath(Dir("b"));
    EXPECT_EQ(changes, 1);
    list.SetPath(Dir("b") + "/");  // the same directory
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(list.SetPath(Dir("falta")), platform::RuntimeError);
    EXPECT_EQ(changes, 1);
    list.SetPath("c:");
    EXPECT_EQ(changes, 2);
}

TEST_F(DirListTest, OpeningAVanishedEntryGoesToTheErrorHandler) {
    std::int32_t reported = 0;
    list.SetErrorHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const platform::RuntimeError& e) {
            reported = e.number();
        }
    });
    list.SetPath(Dir());
    fs::remove(tmp.path() / "c");
    list.OpenEntry(list.ListCount() - 1);
    EXPECT_EQ(reported, 76);
    EXPECT_EQ(list.Path(), Dir());
}

TEST_F(DirListTest, EntriesIndentTheChainOpenAndTheSubdirectoriesClosed) {
    list.SetPath(Dir("b"));
    const auto& entries = list.Entries();
    const int current = list.ListIndex();
    ASSERT_EQ(current, static_cast<int>(entries.size()) - 1);  // b has no subdirectories
    EXPECT_EQ(entries[0].name, "/");
    EXPECT_EQ(entries[static_cast<std::size_t>(current)].name, "b");
    list.SetPath(Dir());
    for (int row = 0; row < list.ListCount(); ++row) {
        const dialogs::DirEntry& entry = list.Entries()[static_cast<std::size_t>(row)];
        EXPECT_EQ(entry.level, std::min(row, list.ListIndex() + 1)) << entry.path;
        EXPECT_EQ(entry.open, row <= list.ListIndex()) << entry.path;
    }
}

}  // namespace

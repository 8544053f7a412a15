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
        list.AddChangeHandler([this] { ++changes; });
    }

    testing_support::TempDir tmp{"b/", "A/", "c/", ".oculto/", "arquivo.txt"};
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
        {tmp.dir("b"), tmp.dir("b"), 0},
        {tmp.dir("b") + "/", tmp.dir("b"), 0},
        {tmp.dir("b") + "/../A/.", tmp.dir("A"), 0},
        {"c:", "/", 0},
        {"C:", "/", 0},
        {"c: /", "/", 0},
        {tmp.dir("arquivo.txt"), "", 76},
        {tmp.dir("falta"), "", 76},
        {tmp.dir("falta") + "/b", "", 76},
        {"", "", 76},
        {"x:", "", 68},
    };
    for (const auto& c : cases) {
        list.SetPath(tmp.dir("c"));
        try {
            list.SetPath(c.value);
            EXPECT_EQ(c.error, 0) << c.value;
            EXPECT_EQ(list.Path(), c.path) << c.value;
        } catch (const platform::RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << c.value;
            EXPECT_EQ(list.Path(), tmp.dir("c")) << c.value;
        }
    }
}

TEST_F(DirListTest, ChangeEventWhenThePathChangesAlsoFromCode) {
    list.SetPath(tmp.dir("b"));
    EXPECT_EQ(changes, 1);
    list.SetPath(tmp.dir("b") + "/");  // the same directory
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(list.SetPath(tmp.dir("falta")), platform::RuntimeError);
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
    list.SetPath(tmp.dir());
    fs::remove(tmp.path() / "c");
    list.OpenEntry(list.ListCount() - 1);
    EXPECT_EQ(reported, 76);
    EXPECT_EQ(list.Path(), tmp.dir());
}

TEST_F(DirListTest, EntriesIndentTheChainOpenAndTheSubdirectoriesClosed) {
    list.SetPath(tmp.dir("b"));
    const auto& entries = list.Entries();
    const int current = list.ListIndex();
    ASSERT_EQ(current, static_cast<int>(entries.size()) - 1);  // b has no subdirectories
    EXPECT_EQ(entries[0].name, "/");
    EXPECT_EQ(entries[static_cast<std::size_t>(current)].name, "b");
    list.SetPath(tmp.dir());
    for (int row = 0; row < list.ListCount(); ++row) {
        const dialogs::DirEntry& entry = list.Entries()[static_cast<std::size_t>(row)];
        EXPECT_EQ(entry.level, std::min(row, list.ListIndex() + 1)) << entry.path;
        EXPECT_EQ(entry.open, row <= list.ListIndex()) << entry.path;
    }
}

}  // namespace

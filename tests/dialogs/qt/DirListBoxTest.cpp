#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>

#include "QtApplication.h"
#include "RuntimeError.h"
#include "TempDir.h"
#include "qt/DirListBox.h"

namespace {

namespace fs = std::filesystem;

class DirListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&list, &DirListBox::changed, [this] { ++changes; });
    }

    QApplication& app = testing_support::EnsureApplication();  // before any widget
    testing_support::TempDir tmp{"b/", "A/", "c/", ".oculto/", "arquivo.txt"};
    DirListBox list;
    int changes = 0;
};

TEST_F(DirListBoxTest, StartsOnDriveCCurrentDirectory) {
    DirListBox fresh;
    EXPECT_EQ(fresh.Path(), "/");
}

TEST_F(DirListBoxTest, ListsTheChainAboveAndTheVisibleSubdirectoriesBelow) {
    list.SetPath(tmp.dir());
    std::vector<std::string> chain;
    for (fs::path p = tmp.path();; p = p.parent_path()) {
        chain.insert(chain.begin(), p.string());
        if (p == p.root_path()) break;
    }
    std::vector<std::string> expected = chain;
    for (const char* name : {"A", "b", "c"}) expected.push_back(tmp.dir(name));
    std::vector<std::string> shown;
    for (int row = 0; row < list.count(); ++row) shown.push_back(list.EntryPath(row));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(list.currentRow(), static_cast<int>(chain.size()) - 1);
    EXPECT_EQ(list.item(0)->text().toStdString(), "/");
}

TEST_F(DirListBoxTest, DoubleClickOpensTheEntry) {
    list.SetPath(tmp.dir());
    const int rowOfB = list.count() - 2;
    ASSERT_EQ(list.EntryPath(rowOfB), tmp.dir("b"));
    emit list.itemDoubleClicked(list.item(rowOfB));
    QApplication::processEvents();
    EXPECT_EQ(list.Path(), tmp.dir("b"));
    EXPECT_EQ(changes, 2);
    // Back up the chain: the entry above the current directory.
    const int parentRow = list.currentRow() - 1;
    list.OpenEntry(parentRow);
    EXPECT_EQ(list.Path(), tmp.dir());
}

}  // namespace

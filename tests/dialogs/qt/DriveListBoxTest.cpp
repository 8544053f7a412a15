#include <gtest/gtest.h>

#include "QtApplication.h"
#include "RuntimeError.h"
#include "qt/DriveListBox.h"

namespace {

class DriveListBoxTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::EnsureApplication(); }
};

TEST_F(DriveListBoxTest, EntriesShowDriveCForTheRootAndPathsForTheRest) {
    DriveListBox drives;
    drives.SetDrives({"/", "/home", "/mnt"});
    ASSERT_EQ(drives.ListCount(), 3);
    EXPECT_EQ(drives.List(0), "c: /");
    EXPECT_EQ(drives.List(1), "/home");
    EXPECT_EQ(drives.List(2), "/mnt");
    EXPECT_EQ(drives.Drive(), "c: /");
}

TEST_F(DriveListBoxTest, ChangeEventOnlyWhenTheSelectionMoves) {
    DriveListBox drives;
    drives.SetDrives({"/", "/home"});
    int changes = 0;
    QObject::connect(&drives, &DriveListBox::changed, [&] { ++changes; });
    drives.SetDrive("/etc");  // already drive C
    EXPECT_EQ(changes, 0);
    drives.SetDrive("/home/ana");
    EXPECT_EQ(changes, 1);
    drives.SetListIndex(0);
    EXPECT_EQ(changes, 2);
    // Replacing the entries keeps the drive and raises nothing.
    drives.SetDrives({"/mnt", "/"});
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(drives.Drive(), "c: /");
}

}  // namespace

#include <gtest/gtest.h>

#include "DriveListBox.h"
#include "QtApp.h"
#include "RuntimeError.h"

namespace {

class DriveListBoxTest : public ::testing::Test {
protected:
    void SetUp() override { dialogs_test::App(); }
};

TEST_F(DriveListBoxTest, MountTableKeepsRealFileSystemsWithRootFirst) {
    struct Case {
        const char* name;
        const char* mounts;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"container",
         "proc /proc proc rw,relatime 0 0\n"
         "sysfs /sys sysfs rw 0 0\n"
         "devtmpfs /dev devtmpfs rw 0 0\n"
         "tmpfs /dev/shm tmpfs rw 0 0\n"
         "devpts /dev/pts devpts rw 0 0\n"
         "/dev/vda / ext4 rw,relatime 0 0\n"
         "cgroup /sys/fs/cgroup/cpu cgroup rw 0 0\n"
         "cgroup2 /sys/fs/cgroup/unified cgroup2 rw 0 0\n"
         "mqueue /dev/mqueue mqueue rw 0 0\n",
         {"/"}},
        {"desktop with media",
         "/dev/sdb1 /run/media/ana/PEN vfat rw 0 0\n"
         "tmpfs /run tmpfs rw 0 0\n"
         "/dev/sda2 /home xfs rw 0 0\n"
         "/dev/sda1 / ext4 rw 0 0\n"
         "/dev/sda2 /home xfs rw 0 0\n"
         "srv:/export /srv/nfs nfs4 rw 0 0\n"
         "/dev/sdc1 /mnt/Meu\\040Disco ext4 rw 0 0\n"
         "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
         "/dev/sda3 /proc/sneaky ext4 rw 0 0\n",
         {"/", "/home", "/mnt/Meu Disco", "/run/media/ana/PEN", "/srv/nfs"}},
        {"no root line, odd lines", "garbage\n\nonly two\n/dev/x /data btrfs rw 0 0\n", {"/", "/data"}},
        {"empty table", "", {"/"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DriveListBox::ParseMounts(c.mounts), c.expected) << c.name;
    }
}

TEST_F(DriveListBoxTest, EntriesShowDriveCForTheRootAndPathsForTheRest) {
    DriveListBox drives;
    drives.SetDrives({"/", "/home", "/mnt"});
    ASSERT_EQ(drives.ListCount(), 3);
    EXPECT_EQ(drives.List(0), "c: /");
    EXPECT_EQ(drives.List(1), "/home");
    EXPECT_EQ(drives.List(2), "/mnt");
    EXPECT_EQ(drives.Drive(), "c: /");
}

TEST_F(DriveListBoxTest, SettingTheDriveSelectsTheMountPointThatHoldsThePath) {
    DriveListBox drives;
    drives.SetDrives({"/", "/home", "/home/ana/pen", "/mnt"});
    struct Case {
        const char* value;
        int index;
    };
    const Case cases[] = {
        {"/home/ana/docs", 1},
        {"/home/ana/pen/x/y", 2},
        {"/home/ana/pen", 2},
        {"/home/", 1},
        {"/homework", 0},
        {"/mnt", 3},
        {"/", 0},
        {"/etc/../mnt/a", 3},
        {"c:", 0},
        {"C:", 0},
        {"c: /", 0},
        {"/usr", 0},
    };
    for (const auto& c : cases) {
        drives.SetListIndex(c.index == 3 ? 1 : 3);  // start somewhere else
        drives.SetDrive(c.value);
        EXPECT_EQ(drives.ListIndex(), c.index) << c.value;
    }
}

TEST_F(DriveListBoxTest, UnlistedDriveRaisesDeviceUnavailableAndKeepsSelection) {
    DriveListBox drives;
    drives.SetDrives({"/mnt", "/home"});
    drives.SetListIndex(1);
    for (const char* value : {"c:", "x:", "/etc", ""}) {
        try {
            drives.SetDrive(value);
            ADD_FAILURE() << "no error for '" << value << "'";
        } catch (const platform::RuntimeError& e) {
            EXPECT_EQ(e.number(), 68) << value;
        }
        EXPECT_EQ(drives.ListIndex(), 1) << value;
    }
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

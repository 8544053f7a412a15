// The drive list's rules, without a window.
#include <gtest/gtest.h>

#include "DriveList.h"
#include "RuntimeError.h"

namespace {

TEST(DriveListTest, MountTableKeepsRealFileSystemsWithRootFirst) {
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
        EXPECT_EQ(dialogs::DriveList::ParseMounts(c.mounts), c.expected) << c.name;
    }
}

TEST(DriveListTest, SettingTheDriveSelectsTheMountPointThatHoldsThePath) {
    dialogs::DriveList drives;
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

TEST(DriveListTest, UnlistedDriveRaisesDeviceUnavailableAndKeepsSelection) {
    dialogs::DriveList drives;
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

}  // namespace

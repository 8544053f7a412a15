// The drive list's state and rules, free of any window toolkit: a drop-down
// of the machine's drives with one selected entry.
//
// Linux has no drive letters, so the entries are the mount points of the real
// file systems. Drive C stands for the root file system: its entry reads
// "c: /", so code that looks at an entry's first character ("c") or first two
// characters ("c:") finds drive C as it would on a machine with letters. Every
// other entry starts with its mount point path, and that path is its drive.
// A path belongs to the drive whose mount point is its longest leading part.
//
// A front end shows Entries() with ListIndex() selected, redraws them when
// the redraw callback runs, and forwards the operator's pick to
// SetListIndex(), which raises the change event.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dialogs {

class DriveList {
public:
    // Lists the mounted file systems and selects drive C.
    DriveList();

    // Replaces the entries by the given mount points ("/" becomes drive C).
    // The selection stays on the drive that held the old selection when it is
    // still listed, else on the first entry; no change event is raised.
    void SetDrives(const std::vector<std::string>& mountPoints);

    const std::vector<std::string>& Entries() const { return entries_; }
    int ListCount() const { return static_cast<int>(entries_.size()); }
    // The entry text at index; empty text outside the list.
    std::string List(int index) const;
    // The selected entry, -1 for none.
    int ListIndex() const { return index_; }
    // Selects an entry (an index outside the list selects none); raises the
    // change event when the selection moves.
    void SetListIndex(int index);

    // The text of the selected entry.
    std::string Drive() const;
    // Selects the drive that vNewValue designates: a drive ("c:", or an entry
    // text such as "c: /") or a path, whose drive is the mount point holding
    // it. A drive that is not listed raises run-time error 68 (Device
    // unavailable) and leaves the selection as it was.
    void SetDrive(const std::string& vNewValue);

    // The drive that an entry text names: its letter and colon ("c:") when it
    // starts with them, otherwise the text itself (a mount point path).
    static std::string DriveOfEntry(const std::string& entryText);
    // The directory where a drive's file system is mounted: "/" for C, the
    // mount point for a mount point, empty for a letter that has no drive.
    static std::string MountPointOfDrive(const std::string& drive);
    // The drive (as DriveOfEntry gives it) of the listed entry that holds
    // path, or empty when no entry does. Relative paths are taken from the
    // process working directory.
    std::string DriveOfPath(const std::string& path) const;

    // The mount points of the real file systems in the text of
    // /proc/self/mounts: "/" first (always present), then the others sorted,
    // without pseudo file systems (proc, sysfs, cgroup, devpts, tmpfs, ...)
    // nor anything mounted under /proc, /sys or /dev.
    static std::vector<std::string> ParseMounts(const std::string& mountsText);
    // ParseMounts on this process's mount table, keeping only directories.
    static std::vector<std::string> MountedFileSystems();

    // Adds a handler of the change event (the selection moved, by the
    // operator or by code).
    void AddChangeHandler(std::function<void()> handler) { changeHandlers_.push_back(std::move(handler)); }
    // The front end's redraw: runs after the entries or the selection changed,
    // before the change event.
    void SetRedraw(std::function<void()> redraw) { redraw_ = std::move(redraw); }

private:
    // Index of the entry for drive, or -1.
    int IndexOfDrive(const std::string& drive) const;
    void Redraw() const;

    std::vector<std::string> mountPoints_;  // per entry, in list order
    std::vector<std::string> entries_;
    int index_ = -1;
    std::vector<std::function<void()>> changeHandlers_;
    std::function<void()> redraw_;
};

}  // namespace dialogs

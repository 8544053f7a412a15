#include "DriveList.h"

#include "Drives.h"
#include "RuntimeError.h"

namespace dialogs {

using platform::drives::StartsWithDriveLetter;

DriveList::DriveList() {
    SetDrives(MountedFileSystems());
}

void DriveList::SetDrives(const std::vector<std::string>& mountPoints) {
    const std::string previous = index_ >= 0 ? DriveOfEntry(Drive()) : std::string();
    mountPoints_ = mountPoints;
    entries_.clear();
    for (const auto& mountPoint : mountPoints_) entries_.push_back(platform::drives::EntryText(mountPoint));
    index_ = -1;
    const int kept = previous.empty() ? -1 : IndexOfDrive(previous);
    index_ = kept >= 0 ? kept : (entries_.empty() ? -1 : 0);
    Redraw();
}

std::string DriveList::List(int index) const {
    return index >= 0 && index < ListCount() ? entries_[static_cast<std::size_t>(index)] : std::string();
}

void DriveList::SetListIndex(int index) {
    if (index < 0 || index >= ListCount()) index = -1;
    if (index == index_) return;
    index_ = index;
    Redraw();
    for (std::size_t i = 0; i < changeHandlers_.size(); ++i) changeHandlers_[i]();
}

std::string DriveList::Drive() const {
    return List(index_);
}

void DriveList::Redraw() const {
    if (redraw_) redraw_();
}

void DriveList::SetDrive(const std::string& vNewValue) {
    const std::string drive = DriveOfPath(vNewValue);
    const int index = drive.empty() ? -1 : IndexOfDrive(drive);
    if (index < 0)
        throw platform::RuntimeError(platform::rt::DeviceUnavailable, "no such drive: '" + vNewValue + "'");
    SetListIndex(index);
}

std::string DriveList::DriveOfEntry(const std::string& entryText) {
    return StartsWithDriveLetter(entryText) ? entryText.substr(0, 2) : entryText;
}

std::string DriveList::MountPointOfDrive(const std::string& drive) {
    return platform::drives::RootOfDrive(drive);
}

int DriveList::IndexOfDrive(const std::string& drive) const {
    const std::string mountPoint = MountPointOfDrive(drive);
    if (mountPoint.empty()) return -1;
    for (std::size_t i = 0; i < mountPoints_.size(); ++i) {
        if (mountPoints_[i] == mountPoint) return static_cast<int>(i);
    }
    return -1;
}

std::string DriveList::DriveOfPath(const std::string& path) const {
    if (path.empty()) return {};
    const std::string mountPoint = platform::drives::RootOfPath(path, mountPoints_);
    if (mountPoint.empty()) return {};
    for (std::size_t i = 0; i < mountPoints_.size(); ++i) {
        if (mountPoints_[i] == mountPoint) return DriveOfEntry(List(static_cast<int>(i)));
    }
    return {};
}

std::vector<std::string> DriveList::ParseMounts(const std::string& mountsText) {
    return platform::drives::ParseMounts(mountsText);
}

std::vector<std::string> DriveList::MountedFileSystems() {
    return platform::drives::Roots();
}

}  // namespace dialogs

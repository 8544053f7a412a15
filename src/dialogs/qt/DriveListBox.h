// The drive list on Qt: a drop-down that shows a dialogs::DriveList and
// forwards the operator's pick to it. The rules live in DriveList.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QComboBox>

#include "DriveList.h"

class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    // A list of its own, on the mounted file systems with drive C selected.
    explicit DriveListBox(QWidget* parent = nullptr);
    // Shows model, which must outlive the widget.
    explicit DriveListBox(dialogs::DriveList& model, QWidget* parent = nullptr);
    ~DriveListBox() override;

    dialogs::DriveList& Model() { return model_; }

    // The members of DriveList, on the list this widget shows.
    void SetDrives(const std::vector<std::string>& mountPoints) { model_.SetDrives(mountPoints); }
    int ListCount() const { return model_.ListCount(); }
    std::string List(int index) const { return model_.List(index); }
    int ListIndex() const { return model_.ListIndex(); }
    void SetListIndex(int index) { model_.SetListIndex(index); }
    std::string Drive() const { return model_.Drive(); }
    void SetDrive(const std::string& vNewValue) { model_.SetDrive(vNewValue); }
    std::string DriveOfPath(const std::string& path) const { return model_.DriveOfPath(path); }

    static std::string DriveOfEntry(const std::string& entryText) {
        return dialogs::DriveList::DriveOfEntry(entryText);
    }
    static std::string MountPointOfDrive(const std::string& drive) {
        return dialogs::DriveList::MountPointOfDrive(drive);
    }
    static std::vector<std::string> ParseMounts(const std::string& mountsText) {
        return dialogs::DriveList::ParseMounts(mountsText);
    }
    static std::vector<std::string> MountedFileSystems() { return dialogs::DriveList::MountedFileSystems(); }

signals:
    // The selection changed, by the operator or by code.
    void changed();

private:
    void Redraw();

    std::unique_ptr<dialogs::DriveList> own_;
    dialogs::DriveList& model_;
    bool redrawing_ = false;
};

// The directory list on Qt: shows a dialogs::DirList, one indented row per
// entry with an open or closed folder, and opens the entry the operator
// double-clicks. The rules live in DirList.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include <QListWidget>

#include "DirList.h"

class DirListBox : public QListWidget {
    Q_OBJECT

public:
    // A list of its own, on drive C's current directory, "/".
    explicit DirListBox(QWidget* parent = nullptr);
    // Shows model, which must outlive the widget.
    explicit DirListBox(dialogs::DirList& model, QWidget* parent = nullptr);
    ~DirListBox() override;

    dialogs::DirList& Model() { return model_; }

    // The members of DirList, on the list this widget shows.
    std::string Path() const { return model_.Path(); }
    void SetPath(const std::string& vNewValue) { model_.SetPath(vNewValue); }
    void OpenEntry(int row) { model_.OpenEntry(row); }
    void SetErrorHandler(std::function<void(std::exception_ptr)> handler) {
        model_.SetErrorHandler(std::move(handler));
    }
    std::string EntryPath(int row) const { return model_.EntryPath(row); }

signals:
    // The path changed, by the operator or by code.
    void changed();

private:
    void Redraw();

    std::unique_ptr<dialogs::DirList> own_;
    dialogs::DirList& model_;
};

#include "qt/DriveListBox.h"

#include <QPointer>

DriveListBox::DriveListBox(QWidget* parent) : DriveListBox(*new dialogs::DriveList, parent) {
    own_.reset(&model_);
}

DriveListBox::DriveListBox(dialogs::DriveList& model, QWidget* parent) : QComboBox(parent), model_(model) {
    model_.SetRedraw([this] { Redraw(); });
    model_.AddChangeHandler([self = QPointer<DriveListBox>(this)] {
        if (self) emit self->changed();
    });
    // The operator's pick goes to the list, which raises the change event.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!redrawing_) model_.SetListIndex(index);
    });
    Redraw();
}

DriveListBox::~DriveListBox() {
    model_.SetRedraw(nullptr);
}

void DriveListBox::Redraw() {
    redrawing_ = true;
    const auto& entries = model_.Entries();
    bool same = count() == static_cast<int>(entries.size());
    for (int i = 0; same && i < count(); ++i)
        same = itemText(i).toStdString() == entries[static_cast<std::size_t>(i)];
    if (!same) {
        clear();
        for (const auto& entry : entries) addItem(QString::fromStdString(entry));
    }
    setCurrentIndex(model_.ListIndex());
    redrawing_ = false;
}

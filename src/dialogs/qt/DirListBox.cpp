#include "qt/DirListBox.h"

#include <QPointer>
#include <QStyle>
#include <QTimer>

DirListBox::DirListBox(QWidget* parent) : DirListBox(*new dialogs::DirList, parent) {
    own_.reset(&model_);
}

DirListBox::DirListBox(dialogs::DirList& model, QWidget* parent) : QListWidget(parent), model_(model) {
    model_.SetRedraw([this] { Redraw(); });
    model_.AddChangeHandler([self = QPointer<DirListBox>(this)] {
        if (self) emit self->changed();
    });
    // Opening rebuilds the rows, which must not happen while the view is
    // still delivering the double-click: open the entry after it.
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        const int row = this->row(item);
        QTimer::singleShot(0, this, [this, row] { OpenEntry(row); });
    });
    Redraw();
}

DirListBox::~DirListBox() {
    model_.SetRedraw(nullptr);
}

void DirListBox::Redraw() {
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const auto& entry : model_.Entries()) {
        new QListWidgetItem(entry.open ? openIcon : closedIcon,
                            QString(entry.level * 2, ' ') + QString::fromStdString(entry.name), this);
    }
    setCurrentRow(model_.ListIndex());
}

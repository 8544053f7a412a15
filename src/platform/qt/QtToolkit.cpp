#include "QtToolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include "qt/X11Window.h"

namespace platform {
namespace {

// QMessageBox answers Escape and the close control by "clicking" its escape
// button. With OK alone that button is OK itself, so the box cannot tell a
// dismissal from an answer; this one remembers that the operator backed out.
class MessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool dismissed() const { return dismissed_; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) dismissed_ = true;
        QMessageBox::keyPressEvent(event);
    }
    // Reached only by a close request (the close control, Alt+F4, close());
    // QDialog keeps the close that follows a button press from coming here.
    void closeEvent(QCloseEvent* event) override {
        dismissed_ = true;
        QMessageBox::closeEvent(event);
    }

private:
    bool dismissed_ = false;
};

}  // namespace

QtToolkit::QtToolkit(QWidget* form) : form_(form) {}

int QtToolkit::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    // A form that is not on screen yet (start-up) has no place to centre on;
    // the box then centres on the screen.
    QWidget* parent = form_ && form_->isVisible() ? form_.data() : nullptr;
    MessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromStdString(title));
    // A prompt carries the operator's typed text; it must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(prompt));

    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == vbOKCancel) {
        cancel = box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
    }
    box.setDefaultButton(ok);

    box.exec();
    if (box.dismissed() || box.clickedButton() != ok) return vbCancel;
    return vbOK;
}

void QtToolkit::SetMousePointer(int pointer) {
    ToolkitState::SetMousePointer(pointer);
    if (!form_) return;
    // On the form only, so that a message box shown meanwhile keeps its arrow.
    if (pointer == vbHourglass)
        form_->setCursor(Qt::WaitCursor);
    else
        form_->unsetCursor();
    // The work that follows blocks the event loop, and nothing the operator or
    // the window manager sent meanwhile may run inside it: no pass through the
    // event loop here. The form is repainted at once (a message box that just
    // closed may have left a hole in it) and the new pointer and the picture
    // go to the display straight away.
    if (form_->isVisible()) form_->repaint();
    FlushDisplay();
}

void QtToolkit::End(int exitCode) {
    ToolkitState::End(exitCode);
    if (QCoreApplication::instance() == nullptr || QThread::currentThread()->loopLevel() == 0) return;
    // Hidden rather than closed: closing the last window would ask the
    // application to quit with status 0 behind our back.
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    QCoreApplication::exit(exitCode);
}

}  // namespace platform

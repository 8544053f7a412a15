#include "qt/frmPrincipal.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <cmath>
#include <limits>

#include "qt/QtToolkit.h"
#include "qt/X11Window.h"

namespace {

using Core = app::frmPrincipalCore;

// Assistive technology sees the main window as a dialog named by its
// caption; without this a plain top-level widget is announced as a filler.
QAccessibleInterface* AccessibleMainWindow(const QString&, QObject* object) {
    if (auto* window = dynamic_cast<frmPrincipal*>(object))
        return new QAccessibleWidget(window, QAccessible::Dialog);
    return nullptr;
}

}  // namespace

frmPrincipal::frmPrincipal(platform::Toolkit* toolkit, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      cmdAtualizar(new QPushButton(QString::fromUtf8(Core::kCaptionCmdAtualizar), this)),
      Label1(new QLabel(QString::fromUtf8(Core::kCaptionLabel1), this)),
      txtNumExame(new QLineEdit(this)),
      ownToolkit_(toolkit ? nullptr : std::make_unique<platform::QtToolkit>(this)),
      toolkit_(toolkit ? toolkit : ownToolkit_.get()),
      core_(*toolkit_) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(AccessibleMainWindow);
        return true;
    }();
    (void)accessibleFactoryInstalled;
    setWindowTitle(QString::fromUtf8(Core::kCaption));
    setFixedSize(twipsToPixelsX(Core::kClientWidth), twipsToPixelsY(Core::kClientHeight));

    cmdAtualizar->setObjectName(QStringLiteral("cmdAtualizar"));
    Label1->setObjectName(QStringLiteral("Label1"));
    txtNumExame->setObjectName(QStringLiteral("txtNumExame"));

    placeInTwips(cmdAtualizar, Core::kCmdAtualizar);
    placeInTwips(Label1, Core::kLabel1);
    placeInTwips(txtNumExame, Core::kTxtNumExame);
    showWholeCaption(Label1);
    // The label names the text box, for assistive technology too.
    Label1->setBuddy(txtNumExame);

    // Not the window's default button: Enter in the number box must not
    // start a removal.
    cmdAtualizar->setDefault(false);
    cmdAtualizar->setAutoDefault(false);
    txtNumExame->setMaxLength(std::numeric_limits<int>::max());

    // Tab order: the button first, so it holds the focus when the window
    // opens; the label takes no focus.
    Label1->setFocusPolicy(Qt::NoFocus);
    setTabOrder(cmdAtualizar, txtNumExame);
    cmdAtualizar->setFocus(Qt::OtherFocusReason);

    // The core keeps every exception out of the event loop. While it works
    // nothing runs through the event loop but the modal message boxes, which
    // keep input away from this window; a close request that comes meanwhile
    // closes the window once the removal has ended.
    connect(cmdAtualizar, &QPushButton::clicked, this, [this] {
        if (core_.ClickRemover(txtNumExame->text().toStdString())) close();
    });
}

frmPrincipal::~frmPrincipal() = default;

int frmPrincipal::twipsToPixelsX(int twips) const {
    return platform::TwipsToPixels(twips, logicalDpiX());
}

int frmPrincipal::twipsToPixelsY(int twips) const {
    return platform::TwipsToPixels(twips, logicalDpiY());
}

void frmPrincipal::placeInTwips(QWidget* control, const platform::TwipsRect& place) {
    control->setGeometry(twipsToPixelsX(place.left), twipsToPixelsY(place.top), twipsToPixelsX(place.width),
                         twipsToPixelsY(place.height));
}

void frmPrincipal::showWholeCaption(QLabel* label) {
    const QRect designed = label->geometry();
    const int right = designed.right() + 1;
    const int left = Core::Label1Left(designed.left(), right, label->sizeHint().width());
    if (left != designed.left()) label->setGeometry(left, designed.top(), right - left, designed.height());
}

void frmPrincipal::centreOnScreen() {
    centreByFrame();
    if (!isVisible()) centreWhenFramed_ = true;
}

void frmPrincipal::centreByFrame() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // move() places the frame's top-left corner; the frame's size is the
    // client area's until the window manager has framed the window.
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmPrincipal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) platform::SkipTaskbar(this);
    if (centreWhenFramed_ && frameGeometry() != geometry()) {
        centreWhenFramed_ = false;
        centreByFrame();
    }
}

void frmPrincipal::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager has put its frame around the window: centre it again
    // by the frame, once.
    if (centreWhenFramed_ && isVisible() && frameGeometry() != geometry()) {
        centreWhenFramed_ = false;
        centreByFrame();
    }
}

void frmPrincipal::closeEvent(QCloseEvent* event) {
    if (!core_.RequestClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmPrincipal::Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                               const std::string& Terminação) {
    core_.Deleta_Exame_em_Cascata_old(fCN, Num_Exame, Terminação);
}

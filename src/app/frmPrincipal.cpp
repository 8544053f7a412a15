#include "frmPrincipal.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <limits>

#include "qt/QtToolkit.h"

namespace {

using Core = app::frmPrincipalCore;

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
    setWindowTitle(QString::fromUtf8(Core::kCaption));
    setFixedSize(twipsToPixelsX(Core::kClientWidth), twipsToPixelsY(Core::kClientHeight));

    cmdAtualizar->setObjectName(QStringLiteral("cmdAtualizar"));
    Label1->setObjectName(QStringLiteral("Label1"));
    txtNumExame->setObjectName(QStringLiteral("txtNumExame"));

    placeInTwips(cmdAtualizar, Core::kCmdAtualizar);
    placeInTwips(Label1, Core::kLabel1);
    placeInTwips(txtNumExame, Core::kTxtNumExame);
    showWholeCaption(Label1);

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

    // The core keeps every exception out of the event loop.
    connect(cmdAtualizar, &QPushButton::clicked, this,
            [this] { core_.ClickRemover(txtNumExame->text().toStdString()); });
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
    // The layout was drawn for a small system font; a larger default font
    // would cut the caption short. The label then grows to the left, keeping
    // its right edge next to the box it names.
    const int needed = label->sizeHint().width();
    if (needed <= label->width()) return;
    const QRect designed = label->geometry();
    const int left = std::max(0, designed.right() + 1 - needed);
    label->setGeometry(left, designed.top(), designed.right() + 1 - left, designed.height());
}

void frmPrincipal::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmPrincipal::cmdAtualizar_Click() {
    core_.cmdAtualizar_Click(txtNumExame->text().toStdString());
}

void frmPrincipal::Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                               const std::string& Terminação) {
    core_.Deleta_Exame_em_Cascata_old(fCN, Num_Exame, Terminação);
}

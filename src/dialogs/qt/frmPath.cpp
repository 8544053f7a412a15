#include "qt/frmPath.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "Twips.h"
#include "qt/DirListBox.h"
#include "qt/DriveListBox.h"
#include "qt/QtToolkit.h"

namespace {

using Core = dialogs::frmPathCore;

// The dialog's font: MS Sans Serif 8.25 where it is installed. Otherwise
// Liberation Sans, which has Arial's metrics and comes closest to it among the
// free fonts (at 96 dpi an average character 6 pixels wide and lines 12 high,
// against 6 and 13), so the texts fit the twips layout; then DejaVu Sans.
QFont ChooserFont() {
    const std::pair<const char*, double> choices[] = {
        {Core::kFontName, Core::kFontPoints},
        {"Liberation Sans", Core::kFontPoints},
        {"DejaVu Sans", 8},
    };
    for (const auto& [family, points] : choices) {
        if (QFontDatabase::hasFamily(QString::fromUtf8(family))) {
            QFont font(QString::fromUtf8(family));
            font.setPointSizeF(points);
            font.setWeight(QFont::Normal);
            return font;
        }
    }
    return {};
}

}  // namespace

frmPath::frmPath(platform::Toolkit* toolkit, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ownToolkit_(toolkit ? nullptr : std::make_unique<platform::QtToolkit>(this)),
      toolkit_(toolkit ? toolkit : ownToolkit_.get()),
      core_(*toolkit_) {
    // A dialog with an owner stays out of the task bar and opens centred on
    // that owner.
    setModal(true);
    setWindowTitle(QString::fromUtf8(Core::kTitle));
    setWindowIcon(style()->standardIcon(QStyle::SP_DirIcon));
    setFont(ChooserFont());

    const int dx = logicalDpiX();
    const int dy = logicalDpiY();
    auto place = [&](QWidget* w, const platform::TwipsRect& r) {
        w->setGeometry(platform::TwipsToPixels(r.left, dx), platform::TwipsToPixels(r.top, dy),
                       platform::TwipsToPixels(r.width, dx), platform::TwipsToPixels(r.height, dy));
    };
    auto placeLabel = [&](QLabel* label, const platform::TwipsPoint& at) {
        label->move(platform::TwipsToPixels(at.left, dx), platform::TwipsToPixels(at.top, dy));
        label->adjustSize();
    };
    setFixedSize(platform::TwipsToPixels(Core::kClientWidth, dx),
                 platform::TwipsToPixels(Core::kClientHeight, dy));

    const dialogs::frmPathCaptions& captions = core_.Captions();
    lblPath_ = new QLabel(QString::fromStdString(captions.lblPath), this);
    placeLabel(lblPath_, Core::kLblPath);
    txtPath_ = new QLineEdit(this);
    place(txtPath_, Core::kTxtPath);
    lblDirs_ = new QLabel(QString::fromStdString(captions.lblDirs), this);
    placeLabel(lblDirs_, Core::kLblDirs);
    dirDirs_ = new DirListBox(core_.dirDirs(), this);
    place(dirDirs_, Core::kDirDirs);
    lblDrives_ = new QLabel(QString::fromStdString(captions.lblDrives), this);
    placeLabel(lblDrives_, Core::kLblDrives);
    drvDrives_ = new DriveListBox(core_.drvDrives(), this);
    place(drvDrives_, Core::kDrvDrives);
    cmdOK_ = new QPushButton(QString::fromStdString(captions.cmdOK), this);
    place(cmdOK_, Core::kCmdOK);
    cmdCancel_ = new QPushButton(QString::fromStdString(captions.cmdCancel), this);
    place(cmdCancel_, Core::kCmdCancel);
    lblPrompt_ = new QLabel(QString::fromStdString(captions.lblPrompt), this);
    lblPrompt_->setWordWrap(true);
    place(lblPrompt_, Core::kLblPrompt);

    // An access key in a label moves the focus to the control after it.
    lblDirs_->setBuddy(dirDirs_);
    lblDrives_->setBuddy(drvDrives_);
    cmdOK_->setDefault(true);
    setTabOrder(txtPath_, dirDirs_);
    setTabOrder(dirDirs_, drvDrives_);
    setTabOrder(drvDrives_, cmdOK_);
    setTabOrder(cmdOK_, cmdCancel_);
    txtPath_->setFocus();

    // Every change of the path box, typed or set, goes to the core.
    connect(txtPath_, &QLineEdit::textChanged, this,
            [this](const QString& text) { core_.SetTxtPath(text.toStdString()); });
    connect(cmdOK_, &QPushButton::clicked, this, [this] { core_.ClickOK(); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { core_.ClickCancel(); });
    core_.SetView(this);
}

frmPath::~frmPath() {
    core_.SetView(nullptr);
    // The lists show the core's state: they go before it does.
    delete dirDirs_;
    delete drvDrives_;
}

void frmPath::ShowCaptions() {
    const dialogs::frmPathCaptions& captions = core_.Captions();
    cmdOK_->setText(QString::fromStdString(captions.cmdOK));
    cmdCancel_->setText(QString::fromStdString(captions.cmdCancel));
    lblPrompt_->setText(QString::fromStdString(captions.lblPrompt));
    for (auto [label, caption] :
         {std::pair{lblDrives_, &captions.lblDrives}, std::pair{lblDirs_, &captions.lblDirs},
          std::pair{lblPath_, &captions.lblPath}}) {
        label->setText(QString::fromStdString(*caption));
        label->adjustSize();
    }
}

void frmPath::ShowTxtPath() {
    txtPath_->setText(QString::fromStdString(core_.TxtPath()));
}

void frmPath::SelectAllTxtPath() {
    txtPath_->selectAll();
}

void frmPath::Hide(bool accepted) {
    if (accepted)
        accept();
    else
        reject();
}

std::string frmPath::CaminhoEscolhido() {
    core_.Carregar();
    return core_.TxtPath();
}

QLabel* frmPath::lblPath() {
    core_.Carregar();
    return lblPath_;
}
QLineEdit* frmPath::txtPath() {
    core_.Carregar();
    return txtPath_;
}
QLabel* frmPath::lblDirs() {
    core_.Carregar();
    return lblDirs_;
}
DirListBox* frmPath::dirDirs() {
    core_.Carregar();
    return dirDirs_;
}
QLabel* frmPath::lblDrives() {
    core_.Carregar();
    return lblDrives_;
}
DriveListBox* frmPath::drvDrives() {
    core_.Carregar();
    return drvDrives_;
}
QPushButton* frmPath::cmdOK() {
    core_.Carregar();
    return cmdOK_;
}
QPushButton* frmPath::cmdCancel() {
    core_.Carregar();
    return cmdCancel_;
}
QLabel* frmPath::lblPrompt() {
    core_.Carregar();
    return lblPrompt_;
}

void frmPath::setVisible(bool visible) {
    if (visible) core_.Carregar();
    QDialog::setVisible(visible);
}

void frmPath::keyPressEvent(QKeyEvent* event) {
    // Escape presses Cancel, as the cancel button of the form; closing the
    // window any other way only hides it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (cmdCancel_->isEnabled()) cmdCancel_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

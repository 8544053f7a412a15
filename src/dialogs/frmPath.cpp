#include "frmPath.h"

#include <dirent.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "DirListBox.h"
#include "DriveListBox.h"
#include "ErrorMessages.h"
#include "RuntimeError.h"
#include "RuntimeErrorReport.h"
#include "clsIO.h"
#include "qt/QtToolkit.h"

namespace {

// Positions and sizes are laid out in twips, 1440 to the inch, and placed
// through the screen's logical resolution.
int Twips(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

// Leading and trailing spaces only; tabs and other blanks stay.
std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A drive as the dialog compares drives: a letter drive in upper case
// ("C:"), a mount point path as it is (paths are case-sensitive here).
std::string ChaveDoDrive(const std::string& drive) {
    if (drive.size() >= 2 && std::isalpha(static_cast<unsigned char>(drive[0])) && drive[1] == ':') {
        return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])))) + ":";
    }
    return drive;
}

// The run-time error for a drive that cannot be listed. A mount point that
// is gone means the device is not there (68); anything else is the error of
// the listing itself.
std::int32_t NúmeroDoErroDoDrive(int errnoValue) {
    if (errnoValue == ENOENT || errnoValue == ENOTDIR) return platform::rt::DeviceUnavailable;
    return platform::RuntimeErrorFromErrno(errnoValue);
}

// One step of the load: a step that fails is skipped and the next one runs.
template <typename Step>
void Passo(Step step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

frmPath::frmPath(platform::Toolkit* toolkit, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      toolkit_(toolkit) {
    if (!toolkit_) {
        ownToolkit_ = std::make_unique<platform::QtToolkit>(this);
        toolkit_ = ownToolkit_.get();
    }
    // A dialog with an owner stays out of the task bar and opens centred on
    // that owner.
    setModal(true);
    setWindowTitle("#");
    setWindowIcon(style()->standardIcon(QStyle::SP_DirIcon));
    // The controls keep Qt's default font: MS Sans Serif does not exist here.

    const int dx = logicalDpiX();
    const int dy = logicalDpiY();
    auto place = [&](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(Twips(left, dx), Twips(top, dy), Twips(width, dx), Twips(height, dy));
    };
    auto placeLabel = [&](QLabel* label, int left, int top) {
        label->move(Twips(left, dx), Twips(top, dy));
        label->adjustSize();
    };
    setFixedSize(Twips(5955, dx), Twips(4710, dy));

    lblPath_ = new QLabel("#", this);
    placeLabel(lblPath_, 210, 750);
    txtPath_ = new QLineEdit(this);
    place(txtPath_, 204, 1056, 5532, 288);
    lblDirs_ = new QLabel("#", this);
    placeLabel(lblDirs_, 210, 1590);
    dirDirs_ = new DirListBox(this);
    place(dirDirs_, 204, 1896, 3510, 1605);
    lblDrives_ = new QLabel("#", this);
    placeLabel(lblDrives_, 210, 3870);
    drvDrives_ = new DriveListBox(this);
    place(drvDrives_, 216, 4140, 3510, 315);
    cmdOK_ = new QPushButton("#", this);
    place(cmdOK_, 4170, 1890, 1560, 420);
    cmdCancel_ = new QPushButton("#", this);
    place(cmdCancel_, 4170, 2640, 1560, 420);
    lblPrompt_ = new QLabel("*", this);
    lblPrompt_->setWordWrap(true);
    place(lblPrompt_, 204, 204, 5532, 192);

    // An access key in a label moves the focus to the control after it.
    lblDirs_->setBuddy(dirDirs_);
    lblDrives_->setBuddy(drvDrives_);
    cmdOK_->setDefault(true);
    setTabOrder(txtPath_, dirDirs_);
    setTabOrder(dirDirs_, drvDrives_);
    setTabOrder(drvDrives_, cmdOK_);
    setTabOrder(cmdOK_, cmdCancel_);
    txtPath_->setFocus();

    connect(cmdOK_, &QPushButton::clicked, this, [this] { Guardado(&frmPath::cmdOK_Click); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { Guardado(&frmPath::cmdCancel_Click); });
    connect(dirDirs_, &DirListBox::changed, this, [this] { Guardado(&frmPath::dirDirs_Change); });
    connect(drvDrives_, &DriveListBox::changed, this, [this] { Guardado(&frmPath::drvDrives_Change); });
    dirDirs_->SetErrorHandler(
        [this](std::exception_ptr error) { platform::ReportRuntimeError(*toolkit_, error); });
}

frmPath::~frmPath() = default;

std::string frmPath::PathInício() const {
    return fPathInício;
}

void frmPath::SetPathInício(const std::string& vNewValue) {
    fPathInício = vNewValue;
    Configura_Path(fPathInício);
}

void frmPath::Configura_Path(const std::string& fPath) {
    Carregar();
    clsIO io;
    std::string chave;
    if (io.ZuDir(fPath)) {
        dirDirs_->SetPath(fPath);
        chave = ChaveDoDrive(drvDrives_->DriveOfPath(fPath));
    } else {
        chave = "C:";
        dirDirs_->SetPath("C:");
    }
    for (int i = 0; i < drvDrives_->ListCount(); ++i) {
        if (ChaveDoDrive(DriveListBox::DriveOfEntry(drvDrives_->List(i))) == chave) {
            drvDrives_->SetListIndex(i);
            break;
        }
    }
    txtPath_->setText(QString::fromStdString(dirDirs_->Path()));
}

bool frmPath::Verifica_Drive(const std::string& fDrive) {
    // Listing the drive's top directory is the probe; what it holds is not used.
    const std::string mountPoint = DriveListBox::MountPointOfDrive(fDrive);
    std::int32_t número = 0;
    if (mountPoint.empty()) {
        número = platform::rt::DeviceUnavailable;
        std::cerr << "remover-exame: drive '" << fDrive << "' does not exist" << std::endl;
    } else if (DIR* handle = opendir(mountPoint.c_str())) {
        errno = 0;
        if (!readdir(handle) && errno != 0) número = NúmeroDoErroDoDrive(errno);
        const int readError = errno;
        closedir(handle);
        if (número != 0) {
            std::cerr << "remover-exame: cannot read drive '" << fDrive << "' (" << mountPoint
                      << "): " << std::strerror(readError) << std::endl;
        }
    } else {
        const int openError = errno;
        número = NúmeroDoErroDoDrive(openError);
        std::cerr << "remover-exame: cannot read drive '" << fDrive << "' (" << mountPoint
                  << "): " << std::strerror(openError) << std::endl;
    }
    if (número == 0) return true;
    toolkit_->MsgBox("Ocorreu o seguinte erro ao acessar o drive '" + fDrive + "'" + "\n" +
                         platform::StandardErrorText(número),
                     platform::vbOKOnly, "Atenção!");
    return false;
}

bool frmPath::OK() const {
    return fOK;
}

void frmPath::SetOK(bool vNewValue) {
    fOK = vNewValue;
}

void frmPath::cmdCancel_Click() {
    fOK = false;
    reject();
}

void frmPath::cmdOK_Click() {
    Carregar();
    toolkit_->SetMousePointer(platform::vbHourglass);
    clsIO io;
    const std::string caminho = TrimSpaces(txtPath_->text().toStdString());
    if (!io.ZuDir(caminho)) {
        toolkit_->MsgBox("O caminho '" + caminho + "' não existe.", platform::vbOKOnly, "Atenção!");
        toolkit_->SetMousePointer(platform::vbDefault);
        return;
    }
    toolkit_->SetMousePointer(platform::vbDefault);
    fOK = true;
    accept();
}

void frmPath::dirDirs_Change() {
    if (!fEventosAtivos) return;
    Carregar();
    fEventosAtivos = false;
    txtPath_->setText(QString::fromStdString(dirDirs_->Path()));
    drvDrives_->SetDrive(dirDirs_->Path());
    fEventosAtivos = true;
}

void frmPath::drvDrives_Change() {
    if (!fEventosAtivos) return;
    Carregar();
    fEventosAtivos = false;
    const std::string drive = DriveListBox::DriveOfEntry(drvDrives_->Drive());
    if (Verifica_Drive(drive)) {
        dirDirs_->SetPath(drive);
        txtPath_->setText(QString::fromStdString(dirDirs_->Path()));
    } else {
        drvDrives_->SetDrive(dirDirs_->Path());
    }
    fEventosAtivos = true;
}

void frmPath::Form_Load() {
    Passo([&] { fEventosAtivos = false; });
    Passo([&] { toolkit_->SetMousePointer(platform::vbHourglass); });
    Passo([&] {
        cmdOK_->setText("OK");
        cmdCancel_->setText("Cancelar");
        lblDrives_->setText("Dri&ves:");
        lblDrives_->adjustSize();
        lblDirs_->setText("&Diretórios:");
        lblDirs_->adjustSize();
        lblPath_->setText("Diretório:");
        lblPath_->adjustSize();
    });
    Passo([&] {
        for (int i = 0; i < drvDrives_->ListCount(); ++i) {
            const std::string entry = drvDrives_->List(i);
            if (!entry.empty() && std::toupper(static_cast<unsigned char>(entry[0])) == 'C') {
                drvDrives_->SetListIndex(i);
                break;
            }
        }
    });
    Passo([&] { dirDirs_->SetPath(drvDrives_->Drive()); });
    Passo([&] { fEventosAtivos = true; });
    Passo([&] { toolkit_->SetMousePointer(platform::vbDefault); });
    Passo([&] { txtPath_->setSelection(0, static_cast<int>(txtPath_->text().size())); });
}

std::string frmPath::CaminhoEscolhido() {
    Carregar();
    return txtPath_->text().toStdString();
}

QLabel* frmPath::lblPath() {
    Carregar();
    return lblPath_;
}
QLineEdit* frmPath::txtPath() {
    Carregar();
    return txtPath_;
}
QLabel* frmPath::lblDirs() {
    Carregar();
    return lblDirs_;
}
DirListBox* frmPath::dirDirs() {
    Carregar();
    return dirDirs_;
}
QLabel* frmPath::lblDrives() {
    Carregar();
    return lblDrives_;
}
DriveListBox* frmPath::drvDrives() {
    Carregar();
    return drvDrives_;
}
QPushButton* frmPath::cmdOK() {
    Carregar();
    return cmdOK_;
}
QPushButton* frmPath::cmdCancel() {
    Carregar();
    return cmdCancel_;
}
QLabel* frmPath::lblPrompt() {
    Carregar();
    return lblPrompt_;
}

void frmPath::setVisible(bool visible) {
    if (visible) Carregar();
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

void frmPath::Carregar() {
    if (loaded_) return;
    loaded_ = true;
    Form_Load();
}

void frmPath::Guardado(void (frmPath::*handler)()) {
    platform::RunGuarded(*toolkit_, [this, handler] { (this->*handler)(); });
}

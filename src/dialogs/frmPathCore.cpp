#include "frmPathCore.h"

#include "Diagnostics.h"
#include "Drives.h"
#include "ErrorMessages.h"
#include "RuntimeError.h"
#include "RuntimeErrorReport.h"
#include "TextCase.h"
#include "clsIO.h"

namespace dialogs {
namespace {

// Leading and trailing spaces only; tabs and other blanks stay.
std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A drive as the dialog compares drives: a letter drive in upper case
// ("C:"), a mount point path as it is (paths are case-sensitive here).
std::string ChaveDoDrive(const std::string& drive) {
    if (platform::drives::StartsWithDriveLetter(drive)) {
        return std::string(1, platform::UpperAscii(drive[0])) + ":";
    }
    return drive;
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

frmPathCore::frmPathCore(platform::Toolkit& toolkit) : toolkit_(toolkit) {
    // The lists' change events, through the event guard: nothing a handler
    // throws may reach the front end's event loop.
    dirDirs_.AddChangeHandler([this] { Guardado(&frmPathCore::dirDirs_Change); });
    drvDrives_.AddChangeHandler([this] { Guardado(&frmPathCore::drvDrives_Change); });
    dirDirs_.SetErrorHandler(
        [this](std::exception_ptr error) { platform::ReportRuntimeError(toolkit_, error); });
}

void frmPathCore::SetPathInício(const std::string& vNewValue) {
    fPathInício = vNewValue;
    Configura_Path(fPathInício);
}

void frmPathCore::Configura_Path(const std::string& fPath) {
    Carregar();
    clsIO io;
    std::string chave;
    if (io.ZuDir(fPath)) {
        dirDirs_.SetPath(fPath);
        chave = ChaveDoDrive(drvDrives_.DriveOfPath(fPath));
    } else {
        chave = "C:";
        dirDirs_.SetPath("C:");
    }
    for (int i = 0; i < drvDrives_.ListCount(); ++i) {
        if (ChaveDoDrive(DriveList::DriveOfEntry(drvDrives_.List(i))) == chave) {
            drvDrives_.SetListIndex(i);
            break;
        }
    }
    MostrarTxtPath(dirDirs_.Path());
}

bool frmPathCore::Verifica_Drive(const std::string& fDrive) {
    // Listing the drive's top directory is the probe; what it holds is not used.
    const std::string mountPoint = DriveList::MountPointOfDrive(fDrive);
    std::int32_t number = 0;
    if (mountPoint.empty()) {
        number = platform::rt::DeviceUnavailable;
        platform::Diagnose("remover-exame", "drive '" + fDrive + "' does not exist");
    } else if (std::string reason; (number = platform::drives::ProbeDrive(mountPoint, reason)) != 0) {
        platform::Diagnose("remover-exame",
                           "cannot read drive '" + fDrive + "' (" + mountPoint + "): " + reason);
    }
    if (number == 0) return true;
    toolkit_.MsgBox("Ocorreu o seguinte erro ao acessar o drive '" + fDrive + "'" + "\n" +
                        platform::StandardErrorText(number),
                    platform::vbOKOnly, "Atenção!");
    return false;
}

void frmPathCore::cmdCancel_Click() {
    fOK = false;
    if (view_) view_->Hide(false);
}

void frmPathCore::cmdOK_Click() {
    Carregar();
    toolkit_.SetMousePointer(platform::vbHourglass);
    clsIO io;
    const std::string caminho = TrimSpaces(txtPath_);
    if (!io.ZuDir(caminho)) {
        toolkit_.MsgBox("O caminho '" + caminho + "' não existe.", platform::vbOKOnly, "Atenção!");
        toolkit_.SetMousePointer(platform::vbDefault);
        return;
    }
    toolkit_.SetMousePointer(platform::vbDefault);
    fOK = true;
    if (view_) view_->Hide(true);
}

void frmPathCore::dirDirs_Change() {
    if (!fEventosAtivos) return;
    Carregar();
    fEventosAtivos = false;
    MostrarTxtPath(dirDirs_.Path());
    drvDrives_.SetDrive(dirDirs_.Path());
    fEventosAtivos = true;
}

void frmPathCore::drvDrives_Change() {
    if (!fEventosAtivos) return;
    Carregar();
    fEventosAtivos = false;
    const std::string drive = DriveList::DriveOfEntry(drvDrives_.Drive());
    if (Verifica_Drive(drive)) {
        dirDirs_.SetPath(drive);
        MostrarTxtPath(dirDirs_.Path());
    } else {
        drvDrives_.SetDrive(dirDirs_.Path());
    }
    fEventosAtivos = true;
}

void frmPathCore::Form_Load() {
    Passo([&] { fEventosAtivos = false; });
    Passo([&] { toolkit_.SetMousePointer(platform::vbHourglass); });
    Passo([&] {
        captions_.cmdOK = "OK";
        captions_.cmdCancel = "Cancelar";
        captions_.lblDrives = "Dri&ves:";
        captions_.lblDirs = "&Diretórios:";
        captions_.lblPath = "Diretório:";
        if (view_) view_->ShowCaptions();
    });
    Passo([&] {
        for (int i = 0; i < drvDrives_.ListCount(); ++i) {
            const std::string entry = drvDrives_.List(i);
            if (!entry.empty() && platform::UpperAscii(entry[0]) == 'C') {
                drvDrives_.SetListIndex(i);
                break;
            }
        }
    });
    Passo([&] { dirDirs_.SetPath(drvDrives_.Drive()); });
    Passo([&] { fEventosAtivos = true; });
    Passo([&] { toolkit_.SetMousePointer(platform::vbDefault); });
    Passo([&] {
        if (view_) view_->SelectAllTxtPath();
    });
}

void frmPathCore::ClickOK() {
    Guardado(&frmPathCore::cmdOK_Click);
}

void frmPathCore::ClickCancel() {
    Guardado(&frmPathCore::cmdCancel_Click);
}

void frmPathCore::Carregar() {
    if (loaded_) return;
    loaded_ = true;
    Form_Load();
}

void frmPathCore::MostrarTxtPath(const std::string& text) {
    txtPath_ = text;
    if (view_) view_->ShowTxtPath();
}

void frmPathCore::Guardado(void (frmPathCore::*handler)()) {
    platform::RunGuarded(toolkit_, [this, handler] { (this->*handler)(); });
}

}  // namespace dialogs

// frmPath: the modal directory chooser on Qt.
//
// The operator picks a drive and a directory, or types a path, and confirms
// with OK or gives up with Cancel. A caller may preset the starting directory
// through PathInício, shows the dialog modally, then reads OK() and, when it
// is True, the chosen path from the path box (CaminhoEscolhido()).
//
// The form is loaded on first use: showing it, or using one of its controls
// (SetPathInício included), runs Form_Load once. OK and Cancel hide the form
// without unloading it, so its state survives until it is shown again.
//
// The window only lays out the controls and forwards their events: the fields,
// the lists' state and every handler live in dialogs::frmPathCore.
#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "Toolkit.h"
#include "frmPathCore.h"

class QLabel;
class QLineEdit;
class QPushButton;
class DirListBox;
class DriveListBox;

class frmPath : public QDialog, private dialogs::frmPathView {
    Q_OBJECT

public:
    // toolkit shows the messages and sets the pointer; without one the form
    // makes its own Qt toolkit bound to itself.
    explicit frmPath(platform::Toolkit* toolkit = nullptr, QWidget* parent = nullptr);
    ~frmPath() override;

    // The members of frmPathCore, on this dialog.
    std::string PathInício() const { return core_.PathInício(); }
    void SetPathInício(const std::string& vNewValue) { core_.SetPathInício(vNewValue); }
    void Configura_Path(const std::string& fPath) { core_.Configura_Path(fPath); }
    bool Verifica_Drive(const std::string& fDrive) { return core_.Verifica_Drive(fDrive); }
    bool OK() const { return core_.OK(); }
    void SetOK(bool vNewValue) { core_.SetOK(vNewValue); }
    void cmdCancel_Click() { core_.cmdCancel_Click(); }
    void cmdOK_Click() { core_.cmdOK_Click(); }
    void dirDirs_Change() { core_.dirDirs_Change(); }
    void drvDrives_Change() { core_.drvDrives_Change(); }
    void Form_Load() { core_.Form_Load(); }

    dialogs::frmPathCore& core() { return core_; }

    // The text of the path box: the chosen path once OK has closed the form.
    std::string CaminhoEscolhido();

    // The controls. Using one loads the form first.
    QLabel* lblPath();
    QLineEdit* txtPath();
    QLabel* lblDirs();
    DirListBox* dirDirs();
    QLabel* lblDrives();
    DriveListBox* drvDrives();
    QPushButton* cmdOK();
    QPushButton* cmdCancel();
    QLabel* lblPrompt();

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // frmPathView
    void ShowCaptions() override;
    void ShowTxtPath() override;
    void SelectAllTxtPath() override;
    void Hide(bool accepted) override;

    std::unique_ptr<platform::Toolkit> ownToolkit_;
    platform::Toolkit* toolkit_;
    dialogs::frmPathCore core_;

    QLabel* lblPath_;
    QLineEdit* txtPath_;
    QLabel* lblDirs_;
    DirListBox* dirDirs_;
    QLabel* lblDrives_;
    DriveListBox* drvDrives_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QLabel* lblPrompt_;
};

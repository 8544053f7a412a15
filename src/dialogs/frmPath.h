// frmPath: the modal directory chooser.
//
// The operator picks a drive and a directory, or types a path, and confirms
// with OK or gives up with Cancel. A caller may preset the starting directory
// through PathInício, shows the dialog modally, then reads OK() and, when it
// is True, the chosen path from the path box (CaminhoEscolhido()).
//
// The form is loaded on first use: showing it, or using one of its controls
// (SetPathInício included), runs Form_Load once. OK and Cancel hide the form
// without unloading it, so its state survives until it is shown again.
#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "Toolkit.h"

class QLabel;
class QLineEdit;
class QPushButton;
class DirListBox;
class DriveListBox;

class frmPath : public QDialog {
    Q_OBJECT

public:
    // toolkit shows the messages and sets the pointer; without one the form
    // makes its own Qt toolkit bound to itself.
    explicit frmPath(platform::Toolkit* toolkit = nullptr, QWidget* parent = nullptr);
    ~frmPath() override;

    // The preset last given, not the directory finally chosen.
    std::string PathInício() const;
    // Stores the preset and points the lists and the path box at it. Raises
    // what Configura_Path raises.
    void SetPathInício(const std::string& vNewValue);
    // Points both lists and the path box at fPath, or at drive C when fPath
    // does not exist. Catches nothing: a path that the directory list refuses
    // (an existing file, say) raises platform::RuntimeError 76 to the caller.
    void Configura_Path(const std::string& fPath);
    // True when the drive can be read; otherwise tells the operator why.
    bool Verifica_Drive(const std::string& fDrive);
    bool OK() const;
    void SetOK(bool vNewValue);

    // Event handlers; the widgets' signals reach them through an event guard.
    void cmdCancel_Click();
    void cmdOK_Click();
    void dirDirs_Change();
    void drvDrives_Change();
    void Form_Load();

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
    void Carregar();
    // Runs a handler for a widget's signal: nothing it throws may reach the
    // event loop, so a failure becomes the run-time error report.
    void Guardado(void (frmPath::*handler)());

    bool fEventosAtivos = false;
    std::string fPathInício;
    bool fOK = false;

    std::unique_ptr<platform::Toolkit> ownToolkit_;
    platform::Toolkit* toolkit_;
    bool loaded_ = false;

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

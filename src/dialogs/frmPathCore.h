// What the directory chooser frmPath decides, free of any window toolkit: its
// fields, captions and layout (in twips), the drive and directory lists
// (DriveList, DirList), the path box's text and every handler.
//
// A front end (Qt on Linux, Win32 on Windows) does only this with it:
//  - creates a modal dialog titled kTitle with a fixed frame, no minimise or
//    maximise button, out of the taskbar, centred on its owner, with a client
//    area of kClientWidth x kClientHeight twips and the controls placed as
//    kTxtPath ... kLblPrompt say (labels at their point, sized to their text),
//    all in kFontName at kFontPoints, converting twips through its own DPI;
//    tab order lblPath, txtPath, lblDirs, dirDirs, lblDrives, drvDrives,
//    cmdOK (the default button), cmdCancel (Escape);
//  - implements frmPathView and hands it to SetView(); shows drvDrives() and
//    dirDirs() through their redraw callbacks (see DriveList.h, DirList.h);
//  - calls Carregar() before the dialog is first shown or one of its
//    controls first used; forwards every change of the path box's text to
//    SetTxtPath(), the buttons to ClickOK() and ClickCancel(), the operator's
//    drive pick to drvDrives().SetListIndex() and a double-click in the
//    directory list to dirDirs().OpenEntry(); the lists' change events reach
//    the handlers by themselves, through the event guard;
//  - does nothing when the dialog is closed in any other way (the close
//    control only hides it).
#pragma once

#include <string>

#include "DirList.h"
#include "DriveList.h"
#include "Toolkit.h"
#include "Twips.h"

namespace dialogs {

// What the core asks of the dialog on screen.
class frmPathView {
public:
    virtual ~frmPathView() = default;
    // Captions() changed: relabel the labels and buttons.
    virtual void ShowCaptions() = 0;
    // TxtPath() changed: put it in the path box.
    virtual void ShowTxtPath() = 0;
    // Select the whole text of the path box.
    virtual void SelectAllTxtPath() = 0;
    // Hide the dialog (it stays loaded); accepted is true for OK.
    virtual void Hide(bool accepted) = 0;
};

struct frmPathCaptions {
    std::string lblPath = "#";
    std::string lblDirs = "#";
    std::string lblDrives = "#";
    std::string cmdOK = "#";
    std::string cmdCancel = "#";
    std::string lblPrompt = "*";
};

class frmPathCore {
public:
    static constexpr const char* kTitle = "#";
    static constexpr int kClientWidth = 5955;
    static constexpr int kClientHeight = 4710;
    static constexpr const char* kFontName = "MS Sans Serif";
    static constexpr double kFontPoints = 8.25;

    static constexpr platform::TwipsPoint kLblPath{210, 750};
    static constexpr platform::TwipsRect kTxtPath{204, 1056, 5532, 288};
    static constexpr platform::TwipsPoint kLblDirs{210, 1590};
    static constexpr platform::TwipsRect kDirDirs{204, 1896, 3510, 1605};
    static constexpr platform::TwipsPoint kLblDrives{210, 3870};
    static constexpr platform::TwipsRect kDrvDrives{216, 4140, 3510, 315};
    static constexpr platform::TwipsRect kCmdOK{4170, 1890, 1560, 420};
    static constexpr platform::TwipsRect kCmdCancel{4170, 2640, 1560, 420};
    static constexpr platform::TwipsRect kLblPrompt{204, 204, 5532, 192};

    // toolkit shows the messages, sets the form's pointer and ends the
    // program; it must outlive the core. The lists start on the mounted
    // file systems and drive C's current directory.
    explicit frmPathCore(platform::Toolkit& toolkit);

    // The dialog on screen, or null; it must outlive the core or be reset.
    void SetView(frmPathView* view) { view_ = view; }

    // The preset last given, not the directory finally chosen.
    std::string PathInício() const { return fPathInício; }
    // Stores the preset and points the lists and the path box at it. Raises
    // what Configura_Path raises.
    void SetPathInício(const std::string& vNewValue);
    // Points both lists and the path box at fPath, or at drive C when fPath
    // does not exist. Catches nothing: a path that the directory list refuses
    // (an existing file, say) raises platform::RuntimeError 76 to the caller.
    void Configura_Path(const std::string& fPath);
    // True when the drive can be read; otherwise tells the operator why.
    bool Verifica_Drive(const std::string& fDrive);
    bool OK() const { return fOK; }
    void SetOK(bool vNewValue) { fOK = vNewValue; }

    // The handlers; what escapes them is raised to the caller.
    void cmdCancel_Click();
    void cmdOK_Click();
    void dirDirs_Change();
    void drvDrives_Change();
    void Form_Load();

    // The buttons as a front end delivers them: the handler, with what it does
    // not catch ending the program through the run-time error report.
    void ClickOK();
    void ClickCancel();

    // Loads the form on first use (runs Form_Load once).
    void Carregar();
    bool Carregado() const { return loaded_; }

    // The path box's text: the chosen path once OK has closed the dialog.
    const std::string& TxtPath() const { return txtPath_; }
    // The operator (or code) changed the path box; no handler runs.
    void SetTxtPath(const std::string& text) { txtPath_ = text; }

    const frmPathCaptions& Captions() const { return captions_; }
    DriveList& drvDrives() { return drvDrives_; }
    DirList& dirDirs() { return dirDirs_; }

private:
    // The path box changes by code: stored and shown.
    void MostrarTxtPath(const std::string& text);
    void Guardado(void (frmPathCore::*handler)());

    bool fEventosAtivos = false;
    std::string fPathInício;
    bool fOK = false;

    platform::Toolkit& toolkit_;
    frmPathView* view_ = nullptr;
    bool loaded_ = false;
    std::string txtPath_;
    frmPathCaptions captions_;
    DriveList drvDrives_;
    DirList dirDirs_;
};

}  // namespace dialogs

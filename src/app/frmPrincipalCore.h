// What the main window decides, free of any window toolkit: its captions and
// layout (in twips), the start-up sequence and the click of "Remover".
//
// A front end (Qt on Linux, Win32 on Windows) does only this with it:
//  - creates the window with kCaption, a fixed frame without minimise or
//    maximise button, a client area of kClientWidth x kClientHeight twips,
//    centred on the screen and left out of the taskbar, and places the three
//    controls of kControls, converting twips through its own screen's DPI;
//    the button is not the default button and holds the focus at first;
//  - creates one frmPrincipalCore with its platform::Toolkit and calls Load()
//    before showing anything; when it returns false the program leaves with
//    toolkit.ExitCode() and the window is never shown;
//  - on a click of the button, calls ClickRemover() with the text box's text
//    exactly as typed (UTF-8), and closes the window when it returns true;
//  - on a close request, closes the window only when RequestClose() says so.
#pragma once

#include <memory>
#include <string>

#include "ProgramTitle.h"
#include "RemovalAudit.h"
#include "SystemLog.h"
#include "Toolkit.h"
#include "Twips.h"
#include "ado/Connection.h"

namespace app {

class frmPrincipalCore {
public:
    static constexpr const char* kCaption = platform::kProgramTitle;
    static constexpr int kClientWidth = 4455;
    static constexpr int kClientHeight = 1950;

    static constexpr const char* kCaptionCmdAtualizar = "Remover";
    static constexpr const char* kCaptionLabel1 = "Número Exame:";
    static constexpr platform::TwipsRect kCmdAtualizar{1440, 1110, 1650, 465};
    static constexpr platform::TwipsRect kLabel1{690, 600, 1125, 195};
    static constexpr platform::TwipsRect kTxtNumExame{1950, 570, 1815, 285};

    // Where Label1 starts, in pixels, when its caption needs `needed` and its
    // place runs from left up to right (exclusive). The layout was drawn for
    // a small system font; a caption that a larger font would cut short grows
    // the label to the left, keeping its right edge next to the box it names,
    // and never past the window's left edge.
    static int Label1Left(int left, int right, int needed) {
        if (needed <= right - left) return left;
        return right > needed ? right - needed : 0;
    }

    // The exit status of a start-up that ended after its message.
    static constexpr int kExitStartupFailed = 1;

    // toolkit shows the messages, sets the window's pointer and ends the
    // program; it must outlive the core. Each removal attempt is recorded in
    // log (the system's log when none is given) as coming from origin.
    explicit frmPrincipalCore(platform::Toolkit& toolkit, platform::SystemLog* log = nullptr,
                              std::string_view origin = "janela");

    // Reads this configuration file instead of the one in the Windows
    // directory (the command line's --ini).
    void SetConfigurationFile(std::string path) { configurationFile_ = std::move(path); }
    // Strict audit whatever the configuration file says (--auditoria-estrita).
    void SetStrictAudit() { strictAudit_ = true; }

    // Loads the form the way the platform does at program start: runs
    // Form_Load, with an error that nothing caught ending the program through
    // the run-time error report. True when the window may be shown; false when
    // the program has ended (toolkit().ExitCode() then holds its status).
    bool Load();

    // The start-up sequence: finds and reads the configuration file and opens
    // the program's connection; every failure ends the program.
    void Form_Load();

    // The click of "Remover" with the number as typed; what escapes it is
    // raised to the caller.
    void cmdAtualizar_Click(const std::string& txtNumExame);

    // The same command, recorded in the log, with what it did.
    removal::RemovalReport Remover(const std::string& txtNumExame);

    // Several examinations removed as Remover removes one, committed in one
    // group (removal::RemoveGroup), each recorded in the log.
    void RemoverGrupo(std::vector<removal::GroupMember>& members, ado::SavepointSyntax syntax,
                      const std::function<void(std::size_t)>& focus);

    // The event as a front end delivers it: cmdAtualizar_Click, with what it
    // does not catch ending the program through the run-time error report, so
    // that no exception reaches the front end's event loop. A click that
    // arrives while a removal runs (through a message box's own event loop)
    // is ignored. True when the operator asked to close the window during the
    // removal and the program goes on: the front end closes the window now.
    bool ClickRemover(const std::string& txtNumExame);

    // A request to close the window (its close control, the window manager):
    // true when the window closes now. During a removal the window stays, and
    // the request is kept for the removal's end (ClickRemover's result).
    bool RequestClose();

    // True while a removal runs.
    bool Busy() const { return busy_; }

    // The older six-table cascade, kept public on the window.
    void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                     const std::string& Terminação);

    platform::Toolkit& toolkit() { return toolkit_; }

private:
    removal::RemovalAudit& audit();

    platform::Toolkit& toolkit_;
    std::unique_ptr<platform::SystemLog> ownLog_;
    platform::SystemLog* log_;
    std::string_view origin_;
    std::unique_ptr<removal::RemovalAudit> audit_;  // made at the first removal
    std::string configurationFile_;
    bool strictAudit_ = false;
    bool busy_ = false;
    bool closeRequested_ = false;  // during the removal that runs
};

}  // namespace app

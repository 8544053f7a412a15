// The main window on Qt: the examination number box and the "Remover" button.
// It lays out the controls that frmPrincipalCore describes and forwards its
// events there; the start-up sequence and the removal live in the core.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "Toolkit.h"
#include "frmPrincipalCore.h"

namespace ado {
class Connection;
}
class QLabel;
class QLineEdit;
class QPushButton;

class frmPrincipal : public QWidget {
public:
    // The exit status of a start-up that ended after its message.
    static constexpr int kExitStartupFailed = app::frmPrincipalCore::kExitStartupFailed;

    // toolkit: where message boxes, the pointer and End go; null gives the
    // form a Qt toolkit of its own, bound to itself.
    explicit frmPrincipal(platform::Toolkit* toolkit = nullptr, QWidget* parent = nullptr);
    ~frmPrincipal() override;

    // frmPrincipalCore::Load: true when the window may be shown.
    bool Load() { return core_.Load(); }

    // The start-up sequence (frmPrincipalCore::Form_Load).
    void Form_Load() { core_.Form_Load(); }

    // The older six-table cascade, kept public on the window.
    void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                     const std::string& Terminação);

    // Places the window, frame and all, in the middle of its screen's
    // available area. Before the window is shown its frame is not known yet:
    // it is centred again once the window manager has framed it.
    void centreOnScreen();

    // True while the click of "Remover" runs: a close request then waits for
    // its end.
    bool busy() const { return core_.Busy(); }

    platform::Toolkit& toolkit() { return *toolkit_; }
    app::frmPrincipalCore& core() { return core_; }

    QPushButton* const cmdAtualizar;
    QLabel* const Label1;
    QLineEdit* const txtNumExame;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void centreByFrame();

    // Form positions and sizes are in twips (1/1440 inch).
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;
    void placeInTwips(QWidget* control, const platform::TwipsRect& place);
    void showWholeCaption(QLabel* label);

    std::unique_ptr<platform::Toolkit> ownToolkit_;
    platform::Toolkit* toolkit_;
    app::frmPrincipalCore core_;
    bool centreWhenFramed_ = false;
};

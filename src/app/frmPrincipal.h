// The main window: the examination number box and the "Remover" button. It is
// the program's start-up object; Form_Load opens the database before the
// window is first shown.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "Toolkit.h"
#include "ado/Connection.h"

class QLabel;
class QLineEdit;
class QPushButton;

class frmPrincipal : public QWidget {
public:
    // The exit status of a start-up that ended after its message.
    static constexpr int kExitStartupFailed = 1;

    // toolkit: where message boxes, the pointer and End go; null gives the
    // form a Qt toolkit of its own, bound to itself.
    explicit frmPrincipal(platform::Toolkit* toolkit = nullptr, QWidget* parent = nullptr);
    ~frmPrincipal() override;

    // Loads the form the way the platform does at program start: runs
    // Form_Load, with an error that nothing caught ending the program through
    // the run-time error report. True when the window may be shown; false when
    // the program has ended (toolkit().ExitCode() then holds its status).
    bool Load();

    // The start-up sequence: finds and reads the configuration file and opens
    // the program's connection; every failure ends the program.
    void Form_Load();

    // The click of "Remover".
    void cmdAtualizar_Click();

    // The older six-table cascade, kept public on the window.
    void Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                     const std::string& Terminação);

    // Places the window in the middle of the screen's available area.
    void centreOnScreen();

    platform::Toolkit& toolkit() { return *toolkit_; }

    QPushButton* const cmdAtualizar;
    QLabel* const Label1;
    QLineEdit* const txtNumExame;

private:
    // Form positions and sizes are in twips (1/1440 inch).
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;
    void placeInTwips(QWidget* control, int left, int top, int width, int height);
    void showWholeCaption(QLabel* label);

    std::unique_ptr<platform::Toolkit> ownToolkit_;
    platform::Toolkit* toolkit_;
};

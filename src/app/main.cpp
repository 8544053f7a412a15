// remover-exame: removes one examination from the host product's database.
// The program has no command line options; everything it needs comes from
// the host product's configuration file.
#include <QApplication>

#include "frmPrincipal.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    frmPrincipal w;
    // Start-up runs before the window is ever shown; a failure has already
    // told the operator and ended the program.
    if (!w.Load()) return w.toolkit().ExitCode();

    w.centreOnScreen();
    w.show();
    return app.exec();
}

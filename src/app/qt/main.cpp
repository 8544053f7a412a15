// remover-exame: removes examinations from the host product's database.
// Without arguments it is the window; with arguments it runs without one
// (CommandLine.h), and no window toolkit is started.
#include <unistd.h>

#include <QApplication>
#include <iostream>

#include "CommandLine.h"
#include "qt/frmPrincipal.h"

int main(int argc, char* argv[]) {
    if (argc > 1)
        return app::RunCommandLine(argc, argv, {std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1});

    QApplication app(argc, argv);

    frmPrincipal w;
    // Start-up runs before the window is ever shown; a failure has already
    // told the operator and ended the program.
    if (!w.Load()) return w.toolkit().ExitCode();

    w.centreOnScreen();
    w.show();
    return app.exec();
}

// frmPath-viewer: shows the directory chooser as a caller does, to look at it
// by hand and to take its picture (scripts/screenshots).
//
//   frmPath-viewer [starting-directory [title]]
//
// Prints the chosen path when OK closes the dialog; the exit status is 0 for
// OK and 1 for Cancel or any other way of closing it.
#include <QApplication>
#include <iostream>

#include "qt/frmPath.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    frmPath dialog;
    if (argc > 1) dialog.SetPathInício(argv[1]);
    if (argc > 2) dialog.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    dialog.exec();
    if (!dialog.OK()) return 1;
    std::cout << dialog.CaminhoEscolhido() << std::endl;
    return 0;
}

// remover-exame on Windows: removes one examination from the host product's
// database. The program has no command line options; everything it needs
// comes from the host product's configuration file.
#include <windows.h>

#include <commctrl.h>

#include "win32/Win32Toolkit.h"
#include "win32/frmPrincipal.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The common controls of the manifest's version 6: the system's own look.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    platform::Win32Toolkit toolkit;
    win32::frmPrincipal w(instance, toolkit);
    // Start-up runs before the window is ever shown; a failure has already
    // told the operator and ended the program.
    if (!w.Load()) return toolkit.ExitCode();

    w.Show();
    return w.Run();
}

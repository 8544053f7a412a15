#include "QtApp.h"

#include <QApplication>

namespace dialogs_test {

QApplication& App() {
    // CTest sets the platform; a test binary run by hand gets it here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "dialogs_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down among the other static objects at exit
    // crashes once a key event has registered its input device.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace dialogs_test

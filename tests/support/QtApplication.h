// The one QApplication of a widget test executable (or of a forked child of
// one), created on first use and kept to the end: widgets of several tests
// outlive no single fixture, and tearing Qt down among the other static
// objects at exit crashes once a key event has registered its input device.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace testing_support {

inline QApplication& EnsureApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
    // CTest sets the platform; a test program run by hand gets it here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "remover-test";
    static char* argv[] = {name, nullptr};
    return *new QApplication(argc, argv);
}

// Runs act on the next modal message box as soon as it is on screen.
inline void OnNextMessageBox(std::function<void(QMessageBox*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(box);
        }
    });
    timer->start();
}

}  // namespace testing_support

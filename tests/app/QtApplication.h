// The one QApplication of a widget test executable, created on first use and
// kept to the end (widgets of several tests outlive no single fixture).
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace testing_support {

inline QApplication& EnsureApplication() {
    static int argc = 1;
    static char name[] = "app_test";
    static char* argv[] = {name, nullptr};
    static auto* application = new QApplication(argc, argv);
    return *application;
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

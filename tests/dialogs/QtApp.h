// The one QApplication that the widget tests need, made on first use.
#pragma once

class QApplication;

namespace dialogs_test {
QApplication& App();
}

// The least a Qt program can show with the main window's three controls (a
// label, a text box and a button in a fixed-size dialog), as the yardstick
// for the program's start-up.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    window.setWindowTitle(QStringLiteral("Janela mínima"));
    window.setFixedSize(420, 90);
    auto* label = new QLabel(QStringLiteral("Número do exame:"), &window);
    auto* text = new QLineEdit(&window);
    auto* button = new QPushButton(QStringLiteral("Remover"), &window);
    label->setGeometry(10, 12, 140, 24);
    text->setGeometry(150, 12, 160, 24);
    button->setGeometry(320, 10, 90, 28);
    window.show();
    return QApplication::exec();
}

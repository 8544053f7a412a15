// The Qt toolkit (message boxes, pointer, End) and the run-time error guard.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <stdexcept>

#include "FakeToolkit.h"
#include "QtApplication.h"
#include "RuntimeError.h"
#include "RuntimeErrorReport.h"
#include "ado/AdoError.h"
#include "qt/QtToolkit.h"

using platform::QtToolkit;
using testing_support::OnNextMessageBox;

namespace {

QAbstractButton* buttonNamed(QMessageBox* box, const char* text) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == QString::fromUtf8(text)) return b;
    return nullptr;
}

enum class Gesture { Enter, Escape, CloseControl, ClickOK, ClickCancel };

TEST(QtToolkitTest, MessageBoxAnswersByGesture) {
    testing_support::EnsureApplication();
    struct Case {
        const char* name;
        int buttons;
        Gesture gesture;
        int expected;
    } cases[] = {
        {"OK only, Enter", platform::vbOKOnly, Gesture::Enter, platform::vbOK},
        {"OK only, click", platform::vbOKOnly, Gesture::ClickOK, platform::vbOK},
        {"OK only, Escape", platform::vbOKOnly, Gesture::Escape, platform::vbCancel},
        {"OK only, close control", platform::vbOKOnly, Gesture::CloseControl, platform::vbCancel},
        {"OK/Cancel, Enter picks OK", platform::vbOKCancel, Gesture::Enter, platform::vbOK},
        {"OK/Cancel, click OK", platform::vbOKCancel, Gesture::ClickOK, platform::vbOK},
        {"OK/Cancel, click Cancelar", platform::vbOKCancel, Gesture::ClickCancel, platform::vbCancel},
        {"OK/Cancel, Escape", platform::vbOKCancel, Gesture::Escape, platform::vbCancel},
        {"OK/Cancel, close control", platform::vbOKCancel, Gesture::CloseControl, platform::vbCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QtToolkit ui(nullptr);
        OnNextMessageBox([&](QMessageBox* box) {
            switch (c.gesture) {
                case Gesture::Enter:
                    QTest::keyClick(box, Qt::Key_Return);
                    break;
                case Gesture::Escape:
                    QTest::keyClick(box, Qt::Key_Escape);
                    break;
                case Gesture::CloseControl:
                    box->close();
                    break;
                case Gesture::ClickOK:
                    buttonNamed(box, "OK")->click();
                    break;
                case Gesture::ClickCancel:
                    buttonNamed(box, "Cancelar")->click();
                    break;
            }
        });
        EXPECT_EQ(ui.MsgBox("Pergunta", c.buttons, "Atenção!"), c.expected);
    }
}

TEST(QtToolkitTest, MessageBoxShowsPlainPromptTitleAndButtons) {
    testing_support::EnsureApplication();
    struct Case {
        int buttons;
        QStringList expectedButtons;
    } cases[] = {{platform::vbOKOnly, {"OK"}}, {platform::vbOKCancel, {"OK", "Cancelar"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons);
        QtToolkit ui(nullptr);
        QString text, title;
        Qt::TextFormat format = Qt::AutoText;
        QMessageBox::Icon icon = QMessageBox::Information;
        QStringList buttons;
        QString defaultButton;
        OnNextMessageBox([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            format = box->textFormat();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons()) buttons.push_back(b->text());
            if (box->defaultButton()) defaultButton = box->defaultButton()->text();
            box->close();
        });
        ui.MsgBox("Tem certeza que deseja remover o exame '<b>ção</b>'\r\nlinha 2", c.buttons, "Atenção!");
        EXPECT_EQ(text, QString::fromUtf8("Tem certeza que deseja remover o exame '<b>ção</b>'\r\nlinha 2"));
        EXPECT_EQ(title, QString::fromUtf8("Atenção!"));
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(icon, QMessageBox::NoIcon);
        buttons.sort();
        QStringList expected = c.expectedButtons;
        expected.sort();
        EXPECT_EQ(buttons, expected);
        EXPECT_EQ(defaultButton, "OK");
    }
}

TEST(QtToolkitTest, HourglassCoversTheFormButNotItsMessageBoxes) {
    testing_support::EnsureApplication();
    QWidget form;
    form.show();
    QtToolkit ui(&form);

    ui.SetMousePointer(platform::vbHourglass);
    EXPECT_EQ(ui.MousePointer(), platform::vbHourglass);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);

    Qt::CursorShape boxCursor = Qt::WaitCursor;
    QWidget* boxParent = nullptr;
    OnNextMessageBox([&](QMessageBox* box) {
        boxCursor = box->cursor().shape();
        boxParent = box->parentWidget();
        box->close();
    });
    ui.MsgBox("Erro", platform::vbOKOnly, "Atenção!");
    EXPECT_EQ(boxCursor, Qt::ArrowCursor);
    EXPECT_EQ(boxParent, &form);  // centred over the form that is on screen

    ui.SetMousePointer(platform::vbDefault);
    EXPECT_EQ(ui.MousePointer(), platform::vbDefault);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

TEST(QtToolkitTest, ChangingThePointerRunsNothingThatWaits) {
    testing_support::EnsureApplication();
    QWidget form;
    form.show();
    QtToolkit ui(&form);
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QMetaObject::invokeMethod(&form, &QWidget::close, Qt::QueuedConnection);
    for (int pointer : {platform::vbHourglass, platform::vbDefault}) {
        ui.SetMousePointer(pointer);
        EXPECT_TRUE(form.isVisible()) << pointer;
        EXPECT_FALSE(timerRan) << pointer;
    }
    QCoreApplication::removePostedEvents(&form);
}

TEST(QtToolkitTest, EndBeforeTheEventLoopOnlyRecords) {
    testing_support::EnsureApplication();
    QWidget form;
    QtToolkit ui(&form);
    ui.End(1);
    EXPECT_TRUE(ui.Ended());
    EXPECT_EQ(ui.ExitCode(), 1);
}

TEST(QtToolkitTest, EndInsideTheEventLoopHidesWindowsAndLeavesTheLoopWithItsCode) {
    testing_support::EnsureApplication();
    QWidget form;
    form.show();
    QtToolkit ui(&form);
    QTimer::singleShot(0, [&] { ui.End(7); });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_TRUE(ui.Ended());
    EXPECT_FALSE(form.isVisible());
}

TEST(RuntimeErrorGuardTest, ReportsWhatEscapesAndEnds) {
    struct Case {
        const char* name;
        std::function<void()> action;
        std::string expectedPrompt;  // empty: nothing escapes
    } cases[] = {
        {"returns normally", [] {}, ""},
        {"run-time error", [] { throw platform::RuntimeError(53, "Quelvomir.INI"); },
         "Erro em tempo de execução '53':\n\nArquivo não encontrado"},
        {"connection layer", [] { throw ado::AdoError(0x800A0E7Au, "Provider cannot be found"); },
         "Erro em tempo de execução '3706':\n\nNão é possível encontrar o provedor. Ele pode não estar "
         "instalado corretamente"},
        {"anything else", [] { throw 42; },
         "Erro em tempo de execução '440':\n\nErro definido pelo aplicativo ou pelo objeto"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::FakeToolkit ui;
        const bool completed = platform::RunGuarded(ui, c.action);
        if (c.expectedPrompt.empty()) {
            EXPECT_TRUE(completed);
            EXPECT_TRUE(ui.calls.empty());
            EXPECT_FALSE(ui.Ended());
            continue;
        }
        EXPECT_FALSE(completed);
        ASSERT_EQ(ui.calls.size(), 1u);
        EXPECT_EQ(ui.calls[0].prompt, c.expectedPrompt);
        EXPECT_EQ(ui.calls[0].title, "Quelvomir 4.0 - Remover exame");
        EXPECT_EQ(ui.calls[0].buttons, platform::vbOKOnly);
        EXPECT_TRUE(ui.Ended());
        EXPECT_NE(ui.ExitCode(), 0);
    }
}

}  // namespace

// The main window and its start-up (Form_Load), through the toolkit double.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "DE.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "Module1.h"
#include "QtApplication.h"
#include "StartupTest.h"
#include "TempDir.h"
#include "qt/frmPrincipal.h"

namespace {

class FormLoadTest : public testing_support::StartupTest {
protected:
    void SetUp() override {
        testing_support::EnsureApplication();
        StartupTest::SetUp();
    }

    void expectEndedBeforeShowing(frmPrincipal& w) {
        expectEnded();
        EXPECT_FALSE(w.isVisible());
    }
};

// The start-up decisions themselves are tested on the core
// (FrmPrincipalCoreTest); the window only has to stay hidden when they fail.
TEST_F(FormLoadTest, StartupFailureNeverShowsTheWindow) {
    useWindowsDirectory(temp.path() / "vazio");
    frmPrincipal w(&ui);
    EXPECT_FALSE(w.Load());
    ASSERT_EQ(ui.calls.size(), 1u);
    expectEndedBeforeShowing(w);
}

TEST_F(FormLoadTest, SuccessLeavesTheConnectionOpenAndTheWindowReady) {
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(temp.file("exames.db"));
    useWindowsDirectory(temp.path(), "[Quelvomir]\r\nCONN_SERVER=" + connectionString + "\r\n");
    frmPrincipal w(&ui);

    ASSERT_TRUE(w.Load());

    EXPECT_TRUE(ui.calls.empty());
    EXPECT_FALSE(ui.Ended());
    EXPECT_EQ(DE::Instance().Conexão_Atual().State(), ado::adStateOpen);
    EXPECT_EQ(DE::Instance().Conexão_Atual().ConnectionString(), connectionString);

    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Quelvomir 4.0 - Remover exame"));
    EXPECT_EQ(w.cmdAtualizar->text(), "Remover");
    EXPECT_EQ(w.Label1->text(), QString::fromUtf8("Número Exame:"));
    EXPECT_TRUE(w.txtNumExame->text().isEmpty());
    EXPECT_EQ(w.txtNumExame->maxLength(), INT_MAX);
    EXPECT_FALSE(w.cmdAtualizar->isDefault());
    EXPECT_FALSE(w.cmdAtualizar->autoDefault());
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.windowType(), Qt::Dialog);

    // Twips at the screen's logical resolution.
    if (w.logicalDpiX() != 96 || w.logicalDpiY() != 96) GTEST_SKIP() << "geometry literals are for 96 dpi";
    EXPECT_EQ(w.minimumSize(), QSize(297, 130));
    EXPECT_EQ(w.maximumSize(), QSize(297, 130));
    EXPECT_EQ(w.cmdAtualizar->geometry(), QRect(96, 74, 110, 31));
    // The label keeps its place but grows to the left when the default font
    // needs more room than the form was drawn for.
    const QRect label = w.Label1->geometry();
    EXPECT_EQ(label.right() + 1, 46 + 75);
    EXPECT_EQ(label.top(), 40);
    EXPECT_EQ(label.height(), 13);
    EXPECT_GE(label.width(), std::max(75, w.Label1->sizeHint().width()));
    EXPECT_EQ(w.txtNumExame->geometry(), QRect(130, 38, 121, 19));
}

TEST_F(FormLoadTest, ShownWindowFocusesRemoverAndOnlyItsClickRunsTheRemoval) {
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(temp.file("exames.db"));
    useWindowsDirectory(temp.path(), "CONN_SERVER=" + connectionString + "\r\n");
    frmPrincipal w(&ui);
    ASSERT_TRUE(w.Load());
    w.centreOnScreen();
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), w.cmdAtualizar);

    // Enter in the number box does not press "Remover".
    w.txtNumExame->setFocus();
    QTest::keyClicks(w.txtNumExame, "1004");
    QTest::keyClick(w.txtNumExame, Qt::Key_Return);
    QTest::keyClick(w.txtNumExame, Qt::Key_Enter);
    EXPECT_TRUE(ui.calls.empty());

    // The click hands the typed text and the program's connection to the
    // removal: 1004 is found and the operator is asked to confirm.
    ui.AnswerNext(platform::vbCancel);
    QTest::mouseClick(w.cmdAtualizar, Qt::LeftButton);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].prompt, "Tem certeza que deseja remover o exame '1004'");
    EXPECT_EQ(ui.calls[0].buttons, platform::vbOKCancel);

    // Exactly as typed: with a leading space it is another number.
    w.txtNumExame->setText(" 1004");
    QTest::mouseClick(w.cmdAtualizar, Qt::LeftButton);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].prompt, "Exame não localizado.");
    EXPECT_FALSE(ui.Ended());
}

TEST(FrmPrincipalTest, AssistiveTechnologySeesANamedDialogWithNamedControls) {
    testing_support::EnsureApplication();
    testing_support::FakeToolkit ui;
    frmPrincipal w(&ui);
    w.show();
    struct Case {
        QObject* object;
        QAccessible::Role role;
        const char* name;
    } cases[] = {
        {&w, QAccessible::Dialog, "Quelvomir 4.0 - Remover exame"},
        {w.txtNumExame, QAccessible::EditableText, "Número Exame:"},
        {w.cmdAtualizar, QAccessible::Button, "Remover"},
    };
    for (const Case& c : cases) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(c.object);
        ASSERT_NE(iface, nullptr) << c.name;
        EXPECT_EQ(iface->role(), c.role) << c.name;
        EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), c.name);
    }
    // The controls hang in the window's tree.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&w);
    EXPECT_GE(window->indexOfChild(QAccessible::queryAccessibleInterface(w.txtNumExame)), 0);
}

TEST(FrmPrincipalTest, OpensCentredOnTheScreenByItsFrame) {
    testing_support::EnsureApplication();
    testing_support::FakeToolkit ui;
    frmPrincipal w(&ui);
    w.centreOnScreen();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect frame = w.frameGeometry();
    ASSERT_NE(frame, w.geometry()) << "the platform draws no frame";
    const QPoint centre = w.screen()->availableGeometry().center();
    EXPECT_LE((frame.center() - centre).manhattanLength(), 1)
        << "frame centred at " << frame.center().x() << "," << frame.center().y();
}

TEST_F(FormLoadTest, ACloseRequestDuringTheRemovalClosesTheWindowWhenItEnds) {
    const std::string connectionString = testing_support::CreateSqliteExamDatabase(temp.file("exames.db"));
    useWindowsDirectory(temp.path(), "CONN_SERVER=" + connectionString + "\r\n");
    frmPrincipal w;  // the real toolkit: its boxes run event loops of their own
    ASSERT_TRUE(w.Load());
    w.show();
    w.txtNumExame->setText("1001");
    std::vector<std::string> prompts;
    bool visibleAtTheEnd = false;
    testing_support::OnNextMessageBox([&](QMessageBox* confirmation) {
        prompts.push_back(confirmation->text().toStdString());
        // The operator asks the window manager to close the window just as
        // the removal starts.
        QMetaObject::invokeMethod(&w, &QWidget::close, Qt::QueuedConnection);
        testing_support::OnNextMessageBox([&](QMessageBox* success) {
            prompts.push_back(success->text().toStdString());
            visibleAtTheEnd = w.isVisible();
            success->accept();
        });
        confirmation->defaultButton()->click();
    });
    QTimer stuck;  // a box that is never answered
    stuck.setSingleShot(true);
    QObject::connect(&stuck, &QTimer::timeout, [] { QApplication::activeModalWidget()->close(); });
    stuck.start(10000);
    w.cmdAtualizar->click();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[1], "Exame removido com sucesso.");
    EXPECT_TRUE(visibleAtTheEnd) << "closed inside the removal";
    EXPECT_FALSE(w.isVisible()) << "the close request was dropped";
    EXPECT_FALSE(w.busy());
}

TEST(FrmPrincipalTest, ClosingTheWindowEndsTheProgram) {
    testing_support::EnsureApplication();
    testing_support::FakeToolkit ui;
    frmPrincipal w(&ui);
    w.show();
    QTimer::singleShot(0, [&] { w.close(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // the loop did not end by itself
    EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace

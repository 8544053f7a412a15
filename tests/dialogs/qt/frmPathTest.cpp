#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "FakeToolkit.h"
#include "QtApplication.h"
#include "RuntimeError.h"
#include "TempDir.h"
#include "qt/DirListBox.h"
#include "qt/DriveListBox.h"
#include "qt/frmPath.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FakeToolkit;

class FrmPathTest : public ::testing::Test {
protected:
    std::string PathBox() { return dlg->txtPath()->text().toStdString(); }
    void Type(const std::string& text) { dlg->txtPath()->setText(QString::fromStdString(text)); }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &press);
    }

    QApplication& app = testing_support::EnsureApplication();  // before any widget
    FakeToolkit tk;
    testing_support::TempDir tmp{"dados/sub/", "laudo.txt"};
    std::unique_ptr<frmPath> dlg = std::make_unique<frmPath>(&tk);
};

TEST_F(FrmPathTest, ShowingWithoutPresetStartsOnDriveCWithAnEmptyPathBox) {
    dlg->show();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(tk.pointerHistory, (std::vector<int>{11, 0}));
    EXPECT_EQ(dlg->drvDrives()->Drive(), "c: /");
    EXPECT_EQ(dlg->dirDirs()->Path(), "/");
    EXPECT_EQ(PathBox(), "");

    dlg->cmdOK()->click();
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "O caminho '' não existe.");
    EXPECT_EQ(tk.calls[0].title, "Atenção!");
    EXPECT_EQ(tk.calls[0].buttons, 0);
    EXPECT_EQ(tk.calls[0].pointer, 11);
    EXPECT_EQ(tk.MousePointer(), 0);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->OK());

    // A refused path leaves an earlier outcome alone too.
    dlg->SetOK(true);
    dlg->cmdOK()->click();
    EXPECT_EQ(tk.calls.size(), 2u);
    EXPECT_TRUE(dlg->OK());
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(FrmPathTest, HidingKeepsTheFormLoadedAndCancelClearsTheOutcome) {
    dlg->show();
    dlg->SetPathInício(tmp.dir("dados"));
    dlg->cmdOK()->click();
    ASSERT_TRUE(dlg->OK());
    ASSERT_FALSE(dlg->isVisible());
    const auto pointers = tk.pointerHistory;

    // Showing again neither reloads the form nor resets the outcome.
    dlg->show();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->OK());
    EXPECT_EQ(tk.pointerHistory, pointers);
    EXPECT_EQ(dlg->dirDirs()->Path(), tmp.dir("dados"));
    EXPECT_EQ(PathBox(), tmp.dir("dados"));

    dlg->cmdCancel()->click();
    EXPECT_FALSE(dlg->OK());
    EXPECT_FALSE(dlg->isVisible());

    // Escape is the Cancel button.
    dlg->SetOK(true);
    dlg->show();
    Key(Qt::Key_Escape);
    EXPECT_FALSE(dlg->OK());
    EXPECT_FALSE(dlg->isVisible());

    // Enter is the OK button.
    dlg->show();
    Key(Qt::Key_Return);
    EXPECT_TRUE(dlg->OK());
    EXPECT_FALSE(dlg->isVisible());

    // Closing the window otherwise runs neither button.
    dlg->show();
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dlg->OK());
    EXPECT_TRUE(tk.calls.empty());
}

// The window forwards the operator's gestures to the core: a drive picked in
// the drop-down, a path typed in the box.
TEST_F(FrmPathTest, PickedDriveAndTypedPathReachTheCore) {
    dlg->drvDrives()->SetDrives({"/", tmp.dir()});
    dlg->show();
    static_cast<QComboBox*>(dlg->drvDrives())->setCurrentIndex(1);
    EXPECT_EQ(dlg->dirDirs()->Path(), tmp.dir());
    EXPECT_EQ(PathBox(), tmp.dir());
    EXPECT_EQ(dlg->dirDirs()->item(dlg->dirDirs()->currentRow())->text().trimmed().toStdString(),
              tmp.path().filename().string());

    dlg->txtPath()->clear();
    QTest::keyClicks(dlg->txtPath(), QString::fromStdString(" " + tmp.dir("dados")));
    Key(Qt::Key_Return);
    EXPECT_TRUE(tk.calls.empty());
    EXPECT_TRUE(dlg->OK());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->CaminhoEscolhido(), " " + tmp.dir("dados"));
}

TEST_F(FrmPathTest, UsesMsSansSerifOrANamedFallback) {
    const std::pair<const char*, double> choices[] = {
        {"MS Sans Serif", 8.25}, {"Liberation Sans", 8.25}, {"DejaVu Sans", 8}};
    const auto* chosen = std::find_if(std::begin(choices), std::end(choices),
                                      [](const auto& c) { return QFontDatabase::hasFamily(c.first); });
    ASSERT_NE(chosen, std::end(choices)) << "none of the fonts is installed";
    for (QWidget* control : {static_cast<QWidget*>(dlg->txtPath()), static_cast<QWidget*>(dlg->lblDirs()),
                             static_cast<QWidget*>(dlg->cmdCancel())}) {
        const QFontInfo shown(control->font());
        EXPECT_EQ(shown.family().toStdString(), chosen->first);
        EXPECT_DOUBLE_EQ(control->font().pointSizeF(), chosen->second);
        EXPECT_FALSE(shown.bold());
    }
}

TEST_F(FrmPathTest, LayoutCaptionsAndKeys) {
    EXPECT_EQ(dlg->windowTitle().toStdString(), "#");
    dlg->show();
    EXPECT_EQ(dlg->windowTitle().toStdString(), "#");
    EXPECT_FALSE(dlg->windowIcon().isNull());

    const std::pair<QString, const char*> captions[] = {
        {dlg->lblPath()->text(), "Diretório:"}, {dlg->lblDirs()->text(), "&Diretórios:"},
        {dlg->lblDrives()->text(), "Dri&ves:"}, {dlg->cmdOK()->text(), "OK"},
        {dlg->cmdCancel()->text(), "Cancelar"}, {dlg->lblPrompt()->text(), "*"},
    };
    for (const auto& [shown, expected] : captions) EXPECT_EQ(shown.toStdString(), expected);
    EXPECT_TRUE(dlg->lblPrompt()->wordWrap());
    EXPECT_EQ(dlg->lblDirs()->buddy(), dlg->dirDirs());
    EXPECT_EQ(dlg->lblDrives()->buddy(), dlg->drvDrives());
    EXPECT_TRUE(dlg->cmdOK()->isDefault());
    EXPECT_FALSE(dlg->cmdCancel()->isDefault());

    // Twips through the logical resolution; at 96 dpi 15 twips make a pixel.
    const int dx = dlg->logicalDpiX(), dy = dlg->logicalDpiY();
    auto tw = [](int twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); };
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_EQ(dlg->size(), QSize(tw(5955, dx), tw(4710, dy)));
    const std::pair<QWidget*, QRect> boxes[] = {
        {dlg->txtPath(), {tw(204, dx), tw(1056, dy), tw(5532, dx), tw(288, dy)}},
        {dlg->dirDirs(), {tw(204, dx), tw(1896, dy), tw(3510, dx), tw(1605, dy)}},
        {dlg->drvDrives(), {tw(216, dx), tw(4140, dy), tw(3510, dx), tw(315, dy)}},
        {dlg->cmdOK(), {tw(4170, dx), tw(1890, dy), tw(1560, dx), tw(420, dy)}},
        {dlg->cmdCancel(), {tw(4170, dx), tw(2640, dy), tw(1560, dx), tw(420, dy)}},
        {dlg->lblPrompt(), {tw(204, dx), tw(204, dy), tw(5532, dx), tw(192, dy)}},
    };
    for (const auto& [widget, rect] : boxes)
        EXPECT_EQ(widget->geometry(), rect) << widget->metaObject()->className();
    const std::pair<QWidget*, QPoint> labels[] = {
        {dlg->lblPath(), {tw(210, dx), tw(750, dy)}},
        {dlg->lblDirs(), {tw(210, dx), tw(1590, dy)}},
        {dlg->lblDrives(), {tw(210, dx), tw(3870, dy)}},
    };
    for (const auto& [label, at] : labels) EXPECT_EQ(label->pos(), at);

    // Tab order, from the control that holds the focus when the form opens.
    EXPECT_EQ(dlg->focusWidget(), dlg->txtPath());
    std::vector<QWidget*> order;
    QWidget* w = dlg->txtPath();
    do {
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(w);
        w = w->nextInFocusChain();
    } while (w != dlg->txtPath() && order.size() < 20);
    const std::vector<QWidget*> expected = {dlg->txtPath(), dlg->dirDirs(), dlg->drvDrives(), dlg->cmdOK(),
                                            dlg->cmdCancel()};
    EXPECT_EQ(order, expected);
}

}  // namespace

namespace {

TEST(FrmPathOwnToolkitTest, WithoutAToolkitTheFormMakesItsOwn) {
    testing_support::EnsureApplication();
    frmPath own;
    own.show();
    EXPECT_TRUE(own.isVisible());
    own.cmdCancel()->click();
    EXPECT_FALSE(own.isVisible());
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DirListBox.h"
#include "DriveListBox.h"
#include "FakeToolkit.h"
#include "QtApp.h"
#include "RuntimeError.h"
#include "TempDir.h"
#include "frmPath.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FakeToolkit;

class FrmPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(tmp.path() / "dados" / "sub");
        tmp.write("laudo.txt", "x");
    }

    std::string Dir(const std::string& name = "") const {
        return name.empty() ? tmp.path().string() : tmp.file(name);
    }
    std::string PathBox() { return dlg->txtPath()->text().toStdString(); }
    void Type(const std::string& text) { dlg->txtPath()->setText(QString::fromStdString(text)); }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &press);
    }

    QApplication& app = dialogs_test::App();  // before any widget
    FakeToolkit tk;
    testing_support::TempDir tmp;
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

TEST_F(FrmPathTest, PresetPointsTheListsAndThePathBoxOrFallsBackToDriveC) {
    struct Case {
        std::string preset;
        std::string shown;  // directory list and path box
    };
    const Case cases[] = {
        {Dir("dados"), Dir("dados")},
        {Dir("dados/sub") + "/", Dir("dados/sub")},
        {Dir("falta"), "/"},
        {"", "/"},
    };
    for (const auto& c : cases) {
        FakeToolkit ui;
        frmPath fresh(&ui);
        fresh.SetPathInício(c.preset);  // loads the form first: the preset wins
        EXPECT_EQ(ui.pointerHistory, (std::vector<int>{11, 0})) << c.preset;
        EXPECT_EQ(fresh.PathInício(), c.preset);
        EXPECT_EQ(fresh.dirDirs()->Path(), c.shown) << c.preset;
        EXPECT_EQ(fresh.txtPath()->text().toStdString(), c.shown) << c.preset;
        EXPECT_EQ(fresh.drvDrives()->Drive(), "c: /") << c.preset;
        EXPECT_TRUE(ui.calls.empty()) << c.preset;
        fresh.show();
        EXPECT_EQ(ui.pointerHistory.size(), 2u) << "loaded once";
        EXPECT_EQ(fresh.txtPath()->text().toStdString(), c.shown) << c.preset;
    }
}

TEST_F(FrmPathTest, PresetOnAnotherDriveMovesTheDriveList) {
    dlg->drvDrives()->SetDrives({"/", Dir()});
    dlg->SetPathInício(Dir("dados/sub"));
    EXPECT_EQ(dlg->drvDrives()->ListIndex(), 1);
    EXPECT_EQ(dlg->dirDirs()->Path(), Dir("dados/sub"));
    EXPECT_EQ(PathBox(), Dir("dados/sub"));
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathTest, PresetNamingAFileRaisesPathNotFoundToTheCaller) {
    try {
        dlg->SetPathInício(Dir("laudo.txt"));
        ADD_FAILURE() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), 76);
    }
    EXPECT_EQ(dlg->PathInício(), Dir("laudo.txt"));
    EXPECT_EQ(dlg->dirDirs()->Path(), "/");
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathTest, OkChecksTheTrimmedPathButKeepsThePathBoxAsTyped) {
    struct Case {
        std::string typed;
        std::string message;  // empty: accepted
    };
    const Case cases[] = {
        {"  " + Dir("dados") + "  ", ""},
        {Dir("laudo.txt"), ""},
        {Dir("dados") + "/", ""},
        {Dir("falta"), "O caminho '" + Dir("falta") + "' não existe."},
        {"   " + Dir("falta") + " ", "O caminho '" + Dir("falta") + "' não existe."},
        {"\t" + Dir("dados"), "O caminho '\t" + Dir("dados") + "' não existe."},
        {"    ", "O caminho '' não existe."},
    };
    for (const auto& c : cases) {
        FakeToolkit ui;
        frmPath fresh(&ui);
        fresh.show();
        fresh.txtPath()->setText(QString::fromStdString(c.typed));
        fresh.cmdOK()->click();
        EXPECT_EQ(ui.MousePointer(), 0) << c.typed;
        if (c.message.empty()) {
            EXPECT_TRUE(ui.calls.empty()) << c.typed;
            EXPECT_TRUE(fresh.OK()) << c.typed;
            EXPECT_FALSE(fresh.isVisible()) << c.typed;
            EXPECT_EQ(fresh.CaminhoEscolhido(), c.typed);
        } else {
            ASSERT_EQ(ui.calls.size(), 1u) << c.typed;
            EXPECT_EQ(ui.calls[0].prompt, c.message);
            EXPECT_EQ(ui.calls[0].title, "Atenção!");
            EXPECT_EQ(ui.calls[0].buttons, 0);
            EXPECT_EQ(ui.calls[0].pointer, 11);
            EXPECT_FALSE(fresh.OK()) << c.typed;
            EXPECT_TRUE(fresh.isVisible()) << c.typed;
            EXPECT_EQ(fresh.CaminhoEscolhido(), c.typed);
        }
    }
}

TEST_F(FrmPathTest, HidingKeepsTheFormLoadedAndCancelClearsTheOutcome) {
    dlg->show();
    dlg->SetPathInício(Dir("dados"));
    dlg->cmdOK()->click();
    ASSERT_TRUE(dlg->OK());
    ASSERT_FALSE(dlg->isVisible());
    const auto pointers = tk.pointerHistory;

    // Showing again neither reloads the form nor resets the outcome.
    dlg->show();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->OK());
    EXPECT_EQ(tk.pointerHistory, pointers);
    EXPECT_EQ(dlg->dirDirs()->Path(), Dir("dados"));
    EXPECT_EQ(PathBox(), Dir("dados"));

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

TEST_F(FrmPathTest, UnreadableDriveIsReportedAndTheDriveListGoesBack) {
    dlg->drvDrives()->SetDrives({"/", Dir("sumiu")});
    dlg->SetPathInício(Dir("dados"));
    Type("digitado");
    dlg->drvDrives()->SetListIndex(1);
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "Ocorreu o seguinte erro ao acessar o drive '" + Dir("sumiu") +
                                      "'\nDispositivo não disponível");
    EXPECT_EQ(tk.calls[0].title, "Atenção!");
    EXPECT_EQ(tk.calls[0].buttons, 0);
    EXPECT_EQ(dlg->drvDrives()->ListIndex(), 0);
    EXPECT_EQ(dlg->dirDirs()->Path(), Dir("dados"));
    EXPECT_EQ(PathBox(), "digitado");

    // The handlers work again afterwards.
    dlg->dirDirs()->SetPath(Dir("dados/sub"));
    EXPECT_EQ(PathBox(), Dir("dados/sub"));
}

TEST_F(FrmPathTest, ReadableDriveShowsItsCurrentDirectory) {
    dlg->drvDrives()->SetDrives({"/", Dir()});
    dlg->SetPathInício("/");
    dlg->drvDrives()->SetListIndex(1);
    EXPECT_TRUE(tk.calls.empty());
    EXPECT_EQ(dlg->dirDirs()->Path(), Dir());
    EXPECT_EQ(PathBox(), Dir());
    dlg->drvDrives()->SetListIndex(0);
    EXPECT_EQ(dlg->dirDirs()->Path(), "/");
    EXPECT_EQ(PathBox(), "/");
}

TEST_F(FrmPathTest, VerificaDriveProbesTheDrive) {
    struct Case {
        std::string drive;
        std::string message;  // empty: readable
    };
    const Case cases[] = {
        {"c:", ""},
        {"C:", ""},
        {Dir(), ""},
        {"x:", "Ocorreu o seguinte erro ao acessar o drive 'x:'\nDispositivo não disponível"},
        {Dir("laudo.txt"),
         "Ocorreu o seguinte erro ao acessar o drive '" + Dir("laudo.txt") + "'\nDispositivo não disponível"},
    };
    for (const auto& c : cases) {
        FakeToolkit ui;
        frmPath fresh(&ui);
        EXPECT_EQ(fresh.Verifica_Drive(c.drive), c.message.empty()) << c.drive;
        if (c.message.empty()) {
            EXPECT_TRUE(ui.calls.empty()) << c.drive;
        } else {
            ASSERT_EQ(ui.calls.size(), 1u) << c.drive;
            EXPECT_EQ(ui.calls[0].prompt, c.message);
            EXPECT_EQ(ui.calls[0].title, "Atenção!");
            EXPECT_EQ(ui.calls[0].buttons, 0);
        }
    }
}

TEST_F(FrmPathTest, GuardFlagKeepsEachHandlerOutOfTheOther) {
    dlg->drvDrives()->SetDrives({"/", Dir()});
    dlg->show();
    // dirDirs_Change moves the drive list; drvDrives_Change must not answer by
    // sending the directory list to that drive's root.
    dlg->dirDirs()->SetPath(Dir("dados/sub"));
    EXPECT_EQ(PathBox(), Dir("dados/sub"));
    EXPECT_EQ(dlg->drvDrives()->ListIndex(), 1);
    EXPECT_EQ(dlg->dirDirs()->Path(), Dir("dados/sub"));
    dlg->dirDirs()->SetPath("/usr");
    EXPECT_EQ(PathBox(), "/usr");
    EXPECT_EQ(dlg->drvDrives()->ListIndex(), 0);
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathTest, FormLoadPointsTheListsWithTheHandlersQuiet) {
    dlg->drvDrives()->SetDrives({"/", Dir()});
    dlg->SetPathInício(Dir("dados"));
    Type("digitado");
    dlg->Form_Load();
    EXPECT_EQ(dlg->drvDrives()->ListIndex(), 0);
    EXPECT_EQ(dlg->dirDirs()->Path(), "/");
    EXPECT_EQ(PathBox(), "digitado");
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathTest, AFailureInAHandlerBecomesTheRunTimeErrorReport) {
    // No listed drive holds the new directory: dirDirs_Change fails when it
    // moves the drive list, and the failure must not leave the handler.
    dlg->drvDrives()->SetDrives({Dir("dados/sub")});
    dlg->show();
    EXPECT_NO_THROW(dlg->dirDirs()->SetPath(Dir("dados")));
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "Erro em tempo de execução '68':\n\nDispositivo não disponível");
    EXPECT_TRUE(tk.Ended());
}

TEST_F(FrmPathTest, AFailureOpeningAnEntryBecomesTheRunTimeErrorReport) {
    dlg->show();
    dlg->dirDirs()->SetPath(Dir("dados"));
    fs::remove(tmp.path() / "dados" / "sub");
    dlg->dirDirs()->OpenEntry(dlg->dirDirs()->count() - 1);
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "Erro em tempo de execução '76':\n\nCaminho não encontrado");
    EXPECT_TRUE(tk.Ended());
    EXPECT_EQ(dlg->dirDirs()->Path(), Dir("dados"));
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
    dialogs_test::App();
    frmPath own;
    own.show();
    EXPECT_TRUE(own.isVisible());
    own.cmdCancel()->click();
    EXPECT_FALSE(own.isVisible());
}

}  // namespace

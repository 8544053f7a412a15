// The directory chooser's decisions without a window: its fields, handlers
// and lists, through the toolkit double and a recording view.
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeToolkit.h"
#include "RuntimeError.h"
#include "TempDir.h"
#include "frmPathCore.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FakeToolkit;

// The dialog on screen, as far as the core can tell.
class RecordingView : public dialogs::frmPathView {
public:
    explicit RecordingView(dialogs::frmPathCore& core) : core_(core) {}
    void ShowCaptions() override {}
    void ShowTxtPath() override { shown = core_.TxtPath(); }
    void SelectAllTxtPath() override {}
    void Hide(bool accepted) override {
        visible = false;
        hiddenAccepted = accepted;
    }
    bool visible = true;
    bool hiddenAccepted = false;
    std::string shown;  // the path box as last shown

private:
    dialogs::frmPathCore& core_;
};

// A core with its view attached.
struct Chooser {
    explicit Chooser(FakeToolkit& ui) : core(ui), view(core) { core.SetView(&view); }
    dialogs::frmPathCore core;
    RecordingView view;
};

class FrmPathCoreTest : public ::testing::Test {
protected:
    // Using a list or the path box loads the form first, as on screen.
    dialogs::DriveList& Drives() {
        core.Carregar();
        return core.drvDrives();
    }
    dialogs::DirList& Dirs() {
        core.Carregar();
        return core.dirDirs();
    }
    std::string PathBox() {
        core.Carregar();
        EXPECT_EQ(chooser.view.shown, core.TxtPath());
        return core.TxtPath();
    }
    void Type(const std::string& text) {
        core.Carregar();
        core.SetTxtPath(text);
        chooser.view.shown = text;
    }

    FakeToolkit tk;
    testing_support::TempDir tmp{"dados/sub/", "laudo.txt"};
    Chooser chooser{tk};
    dialogs::frmPathCore& core = chooser.core;
};

TEST_F(FrmPathCoreTest, PresetPointsTheListsAndThePathBoxOrFallsBackToDriveC) {
    struct Case {
        std::string preset;
        std::string shown;  // directory list and path box
    };
    const Case cases[] = {
        {tmp.dir("dados"), tmp.dir("dados")},
        {tmp.dir("dados/sub") + "/", tmp.dir("dados/sub")},
        {tmp.dir("falta"), "/"},
        {"", "/"},
    };
    for (const auto& c : cases) {
        FakeToolkit ui;
        Chooser fresh(ui);
        fresh.core.SetPathInício(c.preset);  // loads the form first: the preset wins
        EXPECT_EQ(ui.pointerHistory, (std::vector<int>{11, 0})) << c.preset;
        EXPECT_EQ(fresh.core.PathInício(), c.preset);
        EXPECT_EQ(fresh.core.dirDirs().Path(), c.shown) << c.preset;
        EXPECT_EQ(fresh.core.TxtPath(), c.shown) << c.preset;
        EXPECT_EQ(fresh.core.drvDrives().Drive(), "c: /") << c.preset;
        EXPECT_TRUE(ui.calls.empty()) << c.preset;
        fresh.core.Carregar();
        EXPECT_EQ(ui.pointerHistory.size(), 2u) << "loaded once";
        EXPECT_EQ(fresh.core.TxtPath(), c.shown) << c.preset;
    }
}

TEST_F(FrmPathCoreTest, PresetOnAnotherDriveMovesTheDriveList) {
    Drives().SetDrives({"/", tmp.dir()});
    core.SetPathInício(tmp.dir("dados/sub"));
    EXPECT_EQ(Drives().ListIndex(), 1);
    EXPECT_EQ(Dirs().Path(), tmp.dir("dados/sub"));
    EXPECT_EQ(PathBox(), tmp.dir("dados/sub"));
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathCoreTest, PresetNamingAFileRaisesPathNotFoundToTheCaller) {
    try {
        core.SetPathInício(tmp.dir("laudo.txt"));
        ADD_FAILURE() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), 76);
    }
    EXPECT_EQ(core.PathInício(), tmp.dir("laudo.txt"));
    EXPECT_EQ(Dirs().Path(), "/");
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathCoreTest, OkChecksTheTrimmedPathButKeepsThePathBoxAsTyped) {
    struct Case {
        std::string typed;
        std::string message;  // empty: accepted
    };
    const Case cases[] = {
        {"  " + tmp.dir("dados") + "  ", ""},
        {tmp.dir("laudo.txt"), ""},
        {tmp.dir("dados") + "/", ""},
        {tmp.dir("falta"), "O caminho '" + tmp.dir("falta") + "' não existe."},
        {"   " + tmp.dir("falta") + " ", "O caminho '" + tmp.dir("falta") + "' não existe."},
        {"\t" + tmp.dir("dados"), "O caminho '\t" + tmp.dir("dados") + "' não existe."},
        {"    ", "O caminho '' não existe."},
    };
    for (const auto& c : cases) {
        FakeToolkit ui;
        Chooser fresh(ui);
        fresh.core.Carregar();
        fresh.core.SetTxtPath(c.typed);
        fresh.core.ClickOK();
        EXPECT_EQ(ui.MousePointer(), 0) << c.typed;
        if (c.message.empty()) {
            EXPECT_TRUE(ui.calls.empty()) << c.typed;
            EXPECT_TRUE(fresh.core.OK()) << c.typed;
            EXPECT_FALSE(fresh.view.visible) << c.typed;
            EXPECT_EQ(fresh.core.TxtPath(), c.typed);
        } else {
            ASSERT_EQ(ui.calls.size(), 1u) << c.typed;
            EXPECT_EQ(ui.calls[0].prompt, c.message);
            EXPECT_EQ(ui.calls[0].title, "Atenção!");
            EXPECT_EQ(ui.calls[0].buttons, 0);
            EXPECT_EQ(ui.calls[0].pointer, 11);
            EXPECT_FALSE(fresh.core.OK()) << c.typed;
            EXPECT_TRUE(fresh.view.visible) << c.typed;
            EXPECT_EQ(fresh.core.TxtPath(), c.typed);
        }
    }
}

TEST_F(FrmPathCoreTest, UnreadableDriveIsReportedAndTheDriveListGoesBack) {
    Drives().SetDrives({"/", tmp.dir("sumiu")});
    core.SetPathInício(tmp.dir("dados"));
    Type("digitado");
    Drives().SetListIndex(1);
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "Ocorreu o seguinte erro ao acessar o drive '" + tmp.dir("sumiu") +
                                      "'\nDispositivo não disponível");
    EXPECT_EQ(tk.calls[0].title, "Atenção!");
    EXPECT_EQ(tk.calls[0].buttons, 0);
    EXPECT_EQ(Drives().ListIndex(), 0);
    EXPECT_EQ(Dirs().Path(), tmp.dir("dados"));
    EXPECT_EQ(PathBox(), "digitado");

    // The handlers work again afterwards.
    Dirs().SetPath(tmp.dir("dados/sub"));
    EXPECT_EQ(PathBox(), tmp.dir("dados/sub"));
}

TEST_F(FrmPathCoreTest, ReadableDriveShowsItsCurrentDirectory) {
    Drives().SetDrives({"/", tmp.dir()});
    core.SetPathInício("/");
    Drives().SetListIndex(1);
    EXPECT_TRUE(tk.calls.empty());
    EXPECT_EQ(Dirs().Path(), tmp.dir());
    EXPECT_EQ(PathBox(), tmp.dir());
    Drives().SetListIndex(0);
    EXPECT_EQ(Dirs().Path(), "/");
    EXPECT_EQ(PathBox(), "/");
}

TEST_F(FrmPathCoreTest, VerificaDriveProbesTheDrive) {
    struct Case {
        std::string drive;
        std::string message;  // empty: readable
    };
    const Case cases[] = {
        {"c:", ""},
        {"C:", ""},
        {tmp.dir(), ""},
        {"x:", "Ocorreu o seguinte erro ao acessar o drive 'x:'\nDispositivo não disponível"},
        {tmp.dir("laudo.txt"), "Ocorreu o seguinte erro ao acessar o drive '" + tmp.dir("laudo.txt") +
                                   "'\nDispositivo não disponível"},
    };
    for (const auto& c : cases) {
        FakeToolkit ui;
        Chooser fresh(ui);
        EXPECT_EQ(fresh.core.Verifica_Drive(c.drive), c.message.empty()) << c.drive;
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

TEST_F(FrmPathCoreTest, GuardFlagKeepsEachHandlerOutOfTheOther) {
    Drives().SetDrives({"/", tmp.dir()});
    core.Carregar();
    // dirDirs_Change moves the drive list; drvDrives_Change must not answer by
    // sending the directory list to that drive's root.
    Dirs().SetPath(tmp.dir("dados/sub"));
    EXPECT_EQ(PathBox(), tmp.dir("dados/sub"));
    EXPECT_EQ(Drives().ListIndex(), 1);
    EXPECT_EQ(Dirs().Path(), tmp.dir("dados/sub"));
    Dirs().SetPath("/usr");
    EXPECT_EQ(PathBox(), "/usr");
    EXPECT_EQ(Drives().ListIndex(), 0);
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathCoreTest, FormLoadPointsTheListsWithTheHandlersQuiet) {
    Drives().SetDrives({"/", tmp.dir()});
    core.SetPathInício(tmp.dir("dados"));
    Type("digitado");
    core.Form_Load();
    EXPECT_EQ(Drives().ListIndex(), 0);
    EXPECT_EQ(Dirs().Path(), "/");
    EXPECT_EQ(PathBox(), "digitado");
    EXPECT_TRUE(tk.calls.empty());
}

TEST_F(FrmPathCoreTest, AFailureInAHandlerBecomesTheRunTimeErrorReport) {
    // No listed drive holds the new directory: dirDirs_Change fails when it
    // moves the drive list, and the failure must not leave the handler.
    Drives().SetDrives({tmp.dir("dados/sub")});
    core.Carregar();
    EXPECT_NO_THROW(Dirs().SetPath(tmp.dir("dados")));
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "Erro em tempo de execução '68':\n\nDispositivo não disponível");
    EXPECT_TRUE(tk.Ended());
}

TEST_F(FrmPathCoreTest, AFailureOpeningAnEntryBecomesTheRunTimeErrorReport) {
    core.Carregar();
    Dirs().SetPath(tmp.dir("dados"));
    fs::remove(tmp.path() / "dados" / "sub");
    Dirs().OpenEntry(Dirs().ListCount() - 1);
    ASSERT_EQ(tk.calls.size(), 1u);
    EXPECT_EQ(tk.calls[0].prompt, "Erro em tempo de execução '76':\n\nCaminho não encontrado");
    EXPECT_TRUE(tk.Ended());
    EXPECT_EQ(Dirs().Path(), tmp.dir("dados"));
}

}  // namespace

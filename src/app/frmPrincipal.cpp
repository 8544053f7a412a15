#include "frmPrincipal.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include "CascadeDelete.h"
#include "DE.h"
#include "Module1.h"
#include "RemoveExamCommand.h"
#include "RuntimeErrorReport.h"
#include "clsADO.h"
#include "clsIO.h"
#include "qt/QtToolkit.h"

namespace {

// The client area and the controls, in twips.
constexpr int kClientWidth = 4455;
constexpr int kClientHeight = 1950;

// Upper case as the operator reads it: ASCII and accented letters alike, one
// character for one (so "ß" stays). A path that is not UTF-8 keeps its other
// bytes as they are.
std::string upperCase(const std::string& text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(QByteArray::fromStdString(text));
    if (decoder.hasError()) {
        std::string result = text;
        for (char& c : result)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return result;
    }
    std::u32string codePoints = decoded.toStdU32String();
    for (char32_t& c : codePoints) c = QChar::toUpper(c);
    return QString::fromStdU32String(codePoints).toStdString();
}

}  // namespace

frmPrincipal::frmPrincipal(platform::Toolkit* toolkit, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      cmdAtualizar(new QPushButton(QStringLiteral("Remover"), this)),
      Label1(new QLabel(QStringLiteral("Número Exame:"), this)),
      txtNumExame(new QLineEdit(this)),
      toolkit_(toolkit) {
    if (!toolkit_) {
        ownToolkit_ = std::make_unique<platform::QtToolkit>(this);
        toolkit_ = ownToolkit_.get();
    }
    setWindowTitle(QStringLiteral("Quelvomir 4.0 - Remover exame"));
    setFixedSize(twipsToPixelsX(kClientWidth), twipsToPixelsY(kClientHeight));

    cmdAtualizar->setObjectName(QStringLiteral("cmdAtualizar"));
    Label1->setObjectName(QStringLiteral("Label1"));
    txtNumExame->setObjectName(QStringLiteral("txtNumExame"));

    placeInTwips(cmdAtualizar, 1440, 1110, 1650, 465);
    placeInTwips(Label1, 690, 600, 1125, 195);
    placeInTwips(txtNumExame, 1950, 570, 1815, 285);
    showWholeCaption(Label1);

    // Not the window's default button: Enter in the number box must not
    // start a removal.
    cmdAtualizar->setDefault(false);
    cmdAtualizar->setAutoDefault(false);
    txtNumExame->setMaxLength(std::numeric_limits<int>::max());

    // Tab order: the button first, so it holds the focus when the window
    // opens; the label takes no focus.
    Label1->setFocusPolicy(Qt::NoFocus);
    setTabOrder(cmdAtualizar, txtNumExame);
    cmdAtualizar->setFocus(Qt::OtherFocusReason);

    // No exception may cross the event loop: what the command does not catch
    // ends the program with the run-time error report.
    connect(cmdAtualizar, &QPushButton::clicked, this,
            [this] { platform::RunGuarded(*toolkit_, [this] { cmdAtualizar_Click(); }); });
}

frmPrincipal::~frmPrincipal() = default;

int frmPrincipal::twipsToPixelsX(int twips) const {
    return static_cast<int>(std::lround(twips * static_cast<double>(logicalDpiX()) / 1440.0));
}

int frmPrincipal::twipsToPixelsY(int twips) const {
    return static_cast<int>(std::lround(twips * static_cast<double>(logicalDpiY()) / 1440.0));
}

void frmPrincipal::placeInTwips(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width),
                         twipsToPixelsY(height));
}

void frmPrincipal::showWholeCaption(QLabel* label) {
    // The layout was drawn for a small system font; a larger default font
    // would cut the caption short. The label then grows to the left, keeping
    // its right edge next to the box it names.
    const int needed = label->sizeHint().width();
    if (needed <= label->width()) return;
    const QRect designed = label->geometry();
    const int left = std::max(0, designed.right() + 1 - needed);
    label->setGeometry(left, designed.top(), designed.right() + 1 - left, designed.height());
}

void frmPrincipal::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

bool frmPrincipal::Load() {
    return platform::RunGuarded(*toolkit_, [this] { Form_Load(); }) && !toolkit_->Ended();
}

void frmPrincipal::Form_Load() {
    Module1::gDirWindows = Module1::RetornarDiretórioWindows();
    const std::string caminho = Module1::gDirWindows + "Quelvomir.INI";

    clsIO io;
    if (!io.ZuDir(caminho)) {
        std::cerr << "remover-exame: configuration file not found: " << caminho << std::endl;
        toolkit_->MsgBox("Não foi encontrado o arquivo '" + upperCase(caminho) + ".'", platform::vbOKOnly,
                         "Atenção!");
        toolkit_->End(kExitStartupFailed);
        return;
    }

    if (!Module1::LerConfiguração(caminho)) {
        toolkit_->End(kExitStartupFailed);
        return;
    }

    ado::Connection& conexão = DE::Instance().Conexão_Atual();
    clsADO ado;
    if (!ado.AbrirConexão(conexão, Module1::gConnServer)) {
        const std::int32_t número = ado.ErrorNumber();
        const std::string texto = ado.ErrorString();
        // Not the connection string: it may hold a password.
        std::cerr << "remover-exame: cannot open the database named by CONN_SERVER in " << caminho
                  << ": error " << número << " - " << texto << std::endl;
        toolkit_->MsgBox(
            "Ao abrir a conexão com o banco de dados ocoreu o seguinte erro."
            "\r\n\r\nErro nº " +
                std::to_string(número) + " - " + texto,
            platform::vbOKOnly, "Atenção!");
        toolkit_->End(kExitStartupFailed);
        return;
    }
}

void frmPrincipal::cmdAtualizar_Click() {
    removal::cmdAtualizar_Click(txtNumExame->text().toStdString(), DE::Instance().Conexão_Atual(), *toolkit_);
}

void frmPrincipal::Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                               const std::string& Terminação) {
    removal::Deleta_Exame_em_Cascata_old(fCN, Num_Exame, Terminação, *toolkit_);
}

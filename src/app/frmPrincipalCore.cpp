#include "frmPrincipalCore.h"

#include "CascadeDelete.h"
#include "DE.h"
#include "Diagnostics.h"
#include "Module1.h"
#include "RemoveExamCommand.h"
#include "RuntimeErrorReport.h"
#include "TextCase.h"
#include "clsADO.h"
#include "clsIO.h"

namespace app {

frmPrincipalCore::frmPrincipalCore(platform::Toolkit& toolkit, platform::SystemLog* log,
                                   std::string_view origin)
    : toolkit_(toolkit), log_(log), origin_(origin) {}

bool frmPrincipalCore::Load() {
    return platform::RunGuarded(toolkit_, [this] { Form_Load(); }) && !toolkit_.Ended();
}

void frmPrincipalCore::Form_Load() {
    Module1::gDirWindows = Module1::RetornarDiretórioWindows();
    const std::string caminho =
        configurationFile_.empty() ? Module1::gDirWindows + "Quelvomir.INI" : configurationFile_;

    clsIO io;
    if (!io.ZuDir(caminho)) {
        platform::Diagnose("remover-exame", "configuration file not found: " + caminho);
        toolkit_.MsgBox("Não foi encontrado o arquivo '" + platform::UpperCase(caminho) + ".'",
                        platform::vbOKOnly, "Atenção!");
        toolkit_.End(kExitStartupFailed);
        return;
    }

    if (!Module1::LerConfiguração(caminho)) {
        toolkit_.End(kExitStartupFailed);
        return;
    }

    ado::Connection& connection = DE::Instance().Conexão_Atual();
    clsADO ado;
    if (!ado.AbrirConexão(connection, Module1::gConnServer)) {
        const std::int32_t number = ado.ErrorNumber();
        const std::string text = ado.ErrorString();
        // Not the connection string: it may hold a password.
        platform::Diagnose("remover-exame", "cannot open the database named by CONN_SERVER in " + caminho +
                                                ": error " + std::to_string(number) + " - " + text);
        toolkit_.MsgBox(
            "Ao abrir a conexão com o banco de dados ocoreu o seguinte erro."
            "\r\n\r\nErro nº " +
                std::to_string(number) + " - " + text,
            platform::vbOKOnly, "Atenção!");
        toolkit_.End(kExitStartupFailed);
        return;
    }
}

void frmPrincipalCore::cmdAtualizar_Click(const std::string& txtNumExame) {
    Remover(txtNumExame);
}

removal::RemovalAudit& frmPrincipalCore::audit() {
    if (!audit_) {
        if (!log_) {
            ownLog_ = platform::OpenSystemLog();
            log_ = ownLog_.get();
        }
        audit_ = std::make_unique<removal::RemovalAudit>(*log_, origin_);
        audit_->SetStrict(strictAudit_ || Module1::gAuditoriaEstrita);
    }
    return *audit_;
}

removal::RemovalReport frmPrincipalCore::Remover(const std::string& txtNumExame) {
    return audit().Remove(txtNumExame, DE::Instance().Conexão_Atual(), toolkit_, Module1::gRemoverCopias);
}

void frmPrincipalCore::RemoverGrupo(std::vector<removal::GroupMember>& members, ado::SavepointSyntax syntax,
                                    const std::function<void(std::size_t)>& focus) {
    audit().RemoveGroup(members, DE::Instance().Conexão_Atual(), syntax, toolkit_, focus,
                        Module1::gRemoverCopias);
}

bool frmPrincipalCore::ClickRemover(const std::string& txtNumExame) {
    if (busy_) return false;
    busy_ = true;
    closeRequested_ = false;
    platform::RunGuarded(toolkit_, [&] { cmdAtualizar_Click(txtNumExame); });
    busy_ = false;
    // A program that has ended has no window left to close.
    return closeRequested_ && !toolkit_.Ended();
}

bool frmPrincipalCore::RequestClose() {
    if (!busy_) return true;
    closeRequested_ = true;
    return false;
}

void frmPrincipalCore::Deleta_Exame_em_Cascata_old(ado::Connection& fCN, const std::string& Num_Exame,
                                                   const std::string& Terminação) {
    removal::Deleta_Exame_em_Cascata_old(fCN, Num_Exame, Terminação, toolkit_);
}

}  // namespace app

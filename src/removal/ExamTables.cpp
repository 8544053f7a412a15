#include "ExamTables.h"

#include <algorithm>
#include <stdexcept>

namespace removal {
namespace {

constexpr std::string_view kNumberPlaceholder = "N";

// Expands "{Table}" to the table's name and suffix and "{N}" to the quoted
// examination number, in one pass, so nothing the number holds is ever
// expanded again.
std::string expand(std::string_view text, std::string_view suffix, std::string_view quotedNumber) {
    std::string out;
    out.reserve(text.size() + 64 + quotedNumber.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('{', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        const std::size_t close = text.find('}', open);
        if (close == std::string_view::npos) throw std::logic_error("unterminated placeholder in statement");
        out.append(text.substr(i, open - i));
        const std::string_view name = text.substr(open + 1, close - open - 1);
        if (name == kNumberPlaceholder) {
            out.append(quotedNumber);
        } else {
            if (std::find(kExamTables.begin(), kExamTables.end(), name) == kExamTables.end())
                throw std::logic_error("unknown table in statement: " + std::string(name));
            out.append(name);
            out.append(suffix);
        }
        i = close + 1;
    }
    return out;
}

}  // namespace

std::string QuoteText(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    for (char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    quoted += '\'';
    return quoted;
}

std::string ExpandTables(std::string_view statementTemplate, std::string_view suffix) {
    return expand(statementTemplate, suffix, {});
}

std::string ExistenceQuery(std::string_view numeroExame, std::string_view suffix) {
    return expand("select count(*) from {Exame} Where Número_Exame = {N}", suffix, QuoteText(numeroExame));
}

// Runs of spaces inside these texts are deliberate: the statements are sent
// exactly as the host product's other tools send them.
const std::array<CascadeStatement, 13> kCascadeStatements = {{
    {"Aplique", "Ao remover 'Apliques",
     "DELETE {Aplique} FROM {Aplique}   INNER JOIN  ({Exame_Imagem}  INNER JOIN  ({Exame_Página}  INNER JOIN "
     "{Exame} ON {Exame_Página}.Número_Exame  = {Exame}.Número_Exame)  ON {Exame_Imagem}.ID_Página     = "
     "{Exame_Página}.ID_Página)  ON {Aplique}.Id_Imagem          = {Exame_Imagem}.ID_Imagem"},
    {"Exame_Imagem_Backup", "Ao remover 'ExameImagemBackup",
     "DELETE {Exame_Imagem_Backup} FROM {Exame_Imagem_Backup}   INNER JOIN  ({Exame_Imagem}  INNER JOIN  "
     "({Exame_Página}  INNER JOIN  {Exame} ON {Exame_Página}.Número_Exame  = {Exame}.Número_Exame)  ON "
     "{Exame_Imagem}.ID_Página     = {Exame_Página}.ID_Página)  ON {Exame_Imagem_Backup}.Id_Imagem          "
     "= "
     "{Exame_Imagem}.ID_Imagem"},
    {"Exame_Imagem", "Ao remover 'ExameImagem",
     "DELETE {Exame_Imagem} FROM {Exame_Imagem} INNER JOIN  ({Exame_Página}  INNER JOIN  {Exame} ON "
     "{Exame_Página}.Número_Exame = {Exame}.Número_Exame)  ON {Exame_Imagem}.ID_Página = "
     "{Exame_Página}.ID_Página"},
    {"Exame_Página", "Ao remover 'ExamePágina",
     "DELETE {Exame_Página} FROM {Exame_Página} INNER JOIN  {Exame} ON {Exame_Página}.Número_Exame = "
     "{Exame}.Número_Exame"},
    {"Exame_Descritivo", "Ao remover 'ExameDescritivo",
     "DELETE {Exame_Descritivo} FROM {Exame_Descritivo} INNER JOIN  {Exame} ON "
     "{Exame_Descritivo}.Número_Exame = "
     "{Exame}.Número_Exame"},
    {"Bethesda", "Ao remover 'Bethesda",
     "DELETE {Bethesda} FROM {Bethesda} INNER JOIN  {Exame} ON {Bethesda}.Número_Exame = "
     "{Exame}.Número_Exame"},
    {"Exame_Etapa_Histórico", "Ao remover 'ExameEtapaHistórico",
     "DELETE {Exame_Etapa_Histórico} FROM {Exame_Etapa_Histórico} INNER JOIN  ({Exame_Etapa}  INNER JOIN  "
     "{Exame} ON {Exame_Etapa}.Número_Exame = {Exame}.Número_Exame)  ON "
     "{Exame_Etapa_Histórico}.ID_Exame_Etapa = "
     "{Exame_Etapa}.ID_Exame_Etapa"},
    {"Exame_Etapa_Imprimir", "Ao remover 'ExameEtapaImprimir",
     "DELETE {Exame_Etapa_Imprimir} FROM {Exame_Etapa_Imprimir} INNER JOIN  ({Exame_Etapa}  INNER JOIN  "
     "{Exame} "
     "ON {Exame_Etapa}.Número_Exame = {Exame}.Número_Exame)  ON {Exame_Etapa_Imprimir}.ID_Exame_Etapa = "
     "{Exame_Etapa}.ID_Exame_Etapa"},
    {"Exame_Etapa", "Ao remover 'ExameEtapa",
     "DELETE {Exame_Etapa} FROM {Exame_Etapa} INNER JOIN  {Exame} ON {Exame_Etapa}.Número_Exame = "
     "{Exame}.Número_Exame"},
    {"Exame_CID", "Ao remover 'ExameCID",
     "DELETE {Exame_CID} FROM {Exame_CID} INNER JOIN  {Exame} ON {Exame_CID}.Número_Exame = "
     "{Exame}.Número_Exame"},
    {"Exame_Descritivo_Impressão_Tipo", "Ao remover 'ExameDescritivoImpressãoTipo",
     "DELETE {Exame_Descritivo_Impressão_Tipo} FROM {Exame_Descritivo_Impressão_Tipo} INNER JOIN  {Exame} ON "
     "{Exame_Descritivo_Impressão_Tipo}.Número_Exame = {Exame}.Número_Exame"},
    {"Exame_Responsável", "Ao remover 'ExameResponsável",
     "DELETE {Exame_Responsável} FROM {Exame_Responsável} INNER JOIN  {Exame} ON "
     "{Exame_Responsável}.Número_Exame = {Exame}.Número_Exame"},
    {"Exame", "Ao remover 'Exame", "DELETE {Exame} FROM {Exame}"},
}};

std::string CascadeFilter(std::string_view numeroExame, std::string_view suffix) {
    return expand(" WHERE ((({Exame}.Número_Exame)={N}));", suffix, QuoteText(numeroExame));
}

std::string CascadeStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                 std::string_view suffix) {
    return ExpandTables(statement.statementTemplate, suffix) + CascadeFilter(numeroExame, suffix);
}

std::string CountStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                               std::string_view suffix) {
    const std::string_view from = " FROM ";
    const std::size_t at = statement.statementTemplate.find(from);
    if (at == std::string_view::npos) throw std::logic_error("cascade statement without FROM");
    return "SELECT COUNT(*)" + ExpandTables(statement.statementTemplate.substr(at), suffix) +
           CascadeFilter(numeroExame, suffix);
}

const std::array<CascadeStatement, 6> kLegacyStatements = {{
    {"Aplique", "Ao remover o exame da tabela Aplique",
     "DELETE {Aplique} FROM (({Exame} INNER JOIN {Exame_Página} ON {Exame}.Número_Exame = "
     "{Exame_Página}.Número_Exame) INNER JOIN {Exame_Imagem} ON {Exame_Página}.ID_Página = "
     "{Exame_Imagem}.ID_Página) INNER JOIN {Aplique} ON {Exame_Imagem}.ID_Imagem = {Aplique}.Id_Imagem WHERE "
     "((({Exame}.Número_Exame)={N}));"},
    {"Exame_Imagem", "Ao remover o exame da tabela Exame_Imagem",
     "DELETE  {Exame_Imagem} FROM ({Exame} INNER JOIN {Exame_Página} ON {Exame}.Número_Exame = "
     "{Exame_Página}.Número_Exame) INNER JOIN {Exame_Imagem} ON {Exame_Página}.ID_Página = "
     "{Exame_Imagem}.ID_Página WHERE ((({Exame}.Número_Exame)={N}));"},
    {"Exame_Página", "Ao remover o exame da tabela Exame_Página",
     "DELETE {Exame_Página} FROM {Exame} INNER JOIN {Exame_Página} ON {Exame}.Número_Exame = "
     "{Exame_Página}.Número_Exame WHERE ((({Exame}.Número_Exame)={N}));"},
    {"Exame_Descritivo", "Ao remover o exame da tabela Exame_Descritivo",
     "DELETE {Exame_Descritivo} FROM {Exame_Descritivo} INNER JOIN {Exame} ON "
     "{Exame_Descritivo}.Número_Exame = "
     "{Exame}.Número_Exame WHERE ((({Exame}.Número_Exame)={N}));"},
    {"Bethesda", "Ao remover o exame da tabela Bethesda",
     "DELETE {Bethesda} FROM {Bethesda} INNER JOIN {Exame} ON {Bethesda}.Número_Exame = {Exame}.Número_Exame "
     "WHERE ((({Exame}.Número_Exame)={N}));"},
    {"Exame", "Ao remover o exame da tabela Exame",
     "DELETE {Exame} From {Exame} WHERE ((({Exame}.Número_Exame)={N}));"},
}};

std::string LegacyStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                std::string_view suffix) {
    return expand(statement.statementTemplate, suffix, QuoteText(numeroExame));
}

}  // namespace removal

// The examination tables as the removal sees them, and the statement texts
// built from them.
//
// Every statement is written once, as a template in which each table name
// stands in braces ("{Exame_Página}"). Expanding a template appends the
// table-name suffix ("" for the live tables, "_BK" for their backup twins) to
// every table name, also where the name qualifies a column, so a statement
// never mixes the two sets. The examination number only ever enters a
// statement through QuoteText, which doubles its single quotes: whatever the
// operator types stays one text literal.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace removal {

// The thirteen tables, each present live and as its "_BK" twin.
inline constexpr std::array<std::string_view, 13> kExamTables = {
    "Exame",
    "Exame_Página",
    "Exame_Imagem",
    "Aplique",
    "Exame_Imagem_Backup",
    "Exame_Descritivo",
    "Bethesda",
    "Exame_Etapa",
    "Exame_Etapa_Histórico",
    "Exame_Etapa_Imprimir",
    "Exame_CID",
    "Exame_Descritivo_Impressão_Tipo",
    "Exame_Responsável",
};

inline constexpr std::string_view kLiveTables = "";
inline constexpr std::string_view kBackupTables = "_BK";

// text between single quotes, each single quote inside it doubled.
std::string QuoteText(std::string_view text);

// Replaces each "{Table}" of a template with the table's name and the
// suffix. Every name in braces must be one of kExamTables.
std::string ExpandTables(std::string_view statementTemplate, std::string_view suffix);

// The existence check: the number of rows of Exame (with the suffix) that
// carry the examination number.
std::string ExistenceQuery(std::string_view numeroExame, std::string_view suffix);

// One statement of a cascade: the table whose rows it removes, the words
// that name that table in the failure message, and the statement template
// (without the examination filter).
struct CascadeStatement {
    std::string_view table;
    std::string_view label;
    std::string_view statementTemplate;
};

// The thirteen statements of the cascade, children first and Exame last.
extern const std::array<CascadeStatement, 13> kCascadeStatements;

// The filter that ends every cascade statement:
// " WHERE (((Exame{T}.Número_Exame)='{N}'));".
std::string CascadeFilter(std::string_view numeroExame, std::string_view suffix);

// The full text of cascade statement `statement` for one examination and set.
std::string CascadeStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                 std::string_view suffix);

// What cascade statement `statement` would remove, counted: the same joins
// and the same filter under "SELECT COUNT(*) FROM" instead of "DELETE <table>
// FROM". It reads and locks nothing beyond what the count needs.
std::string CountStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                               std::string_view suffix);

// The six statements of the older cascade, in order; each template holds the
// whole statement, the filter included ("{N}" stands for the quoted number).
extern const std::array<CascadeStatement, 6> kLegacyStatements;

std::string LegacyStatementText(const CascadeStatement& statement, std::string_view numeroExame,
                                std::string_view suffix);

}  // namespace removal

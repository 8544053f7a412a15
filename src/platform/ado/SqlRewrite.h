// Adapting statement texts to SQLite.
//
// The removal sends the same statement texts to every database, and each of
// them deletes with the form "DELETE <table> FROM <join> WHERE ...", which SQL
// Server, Access and MariaDB accept and SQLite does not. The SQLite provider
// rewrites exactly that form before preparing a statement; every other text
// goes to SQLite unchanged.
//
// The scanner below reads text the way SQLite's own tokenizer does for the
// things that matter here: quoted literals ('it''s'), quoted names ("x", [x],
// `x`), line and block comments, and unquoted names that may carry accented
// letters (every byte from 0x80 up is a name character). Text inside a literal
// or a comment is therefore never taken for a keyword or a terminator. All
// functions run in time linear in the length of the text, whatever it holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ado {

// For "DELETE <t> FROM <rest>" (keywords in any letter case, any white space
// or comments between the parts, <t> a single unquoted or quoted name):
//
//   DELETE FROM <t> AS sqlite_delete_target WHERE rowid IN (SELECT <t>.rowid FROM <rest>)
//
// with trailing ";", white space and comments removed from <rest>. The alias
// keeps <t> from being seen inside the sub-query under its own name: when
// <rest> does not join <t>, "<t>.rowid" then fails as an unknown column instead
// of matching every row of the outer table. No table can be named
// sqlite_delete_target (SQLite reserves the prefix), so it never hides <t>.
//
// Returns nothing, meaning "send the text as it is", for every other text,
// including "DELETE FROM t ...", a text with an unterminated quote, an empty
// <rest>, and a text with a second statement after the first ";".
std::optional<std::string> RewriteDeleteJoin(std::string_view sql);

// True when sql holds nothing but white space, comments and ";".
bool IsBlankSql(std::string_view sql);

// The first word of sql after white space and comments, in ASCII capitals;
// empty when sql does not begin with an unquoted word.
std::string LeadingKeyword(std::string_view sql);

}  // namespace ado

// Fuzz target: the rewriting of "DELETE <t> FROM <rest>" for SQLite.
//
// Whatever the input, a rewritten statement must have the one shape the
// rewriter promises, carry the table and <rest> as they stood in the input,
// and, given to SQLite with the examination schema, be exactly one statement
// that deletes from one table and writes nothing else; and what the rewrite
// leaves out of the input must hold no statement. SQLite's own tokenizer is
// the judge here, so any text the rewriter's scanner reads differently from
// SQLite (a quote, a comment, a terminator) shows up as a second statement,
// a dropped one or a write elsewhere. Long inputs (see fuzz::Amplified) catch
// scanning that is not linear in the length of the text.
#include <sqlite3.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "ado/SqlRewrite.h"

namespace {

using fuzz::Check;

sqlite3* gDb = nullptr;

constexpr std::string_view kPrefix = "DELETE FROM ";
constexpr std::string_view kMiddle = " AS sqlite_delete_target WHERE rowid IN (SELECT ";
constexpr std::string_view kRowid = ".rowid FROM ";

// Writes that preparing the statement asked for.
struct Writes {
    std::set<std::string> deletedTables;
    bool other = false;
};

int authorize(void* context, int action, const char* first, const char*, const char*, const char*) {
    auto* writes = static_cast<Writes*>(context);
    switch (action) {
        case SQLITE_DELETE:
            writes->deletedTables.insert(first ? first : "");
            break;
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_FUNCTION:
        case SQLITE_RECURSIVE:
            break;
        default:
            writes->other = true;
    }
    return SQLITE_OK;
}

// The rewritten text is "DELETE FROM <t><middle><t>.rowid FROM <rest>)". Any
// split of it into that shape will do; each part must come from the input.
// Returns <rest>.
std::string_view checkShape(std::string_view sql, std::string_view out) {
    Check(out.substr(0, kPrefix.size()) == kPrefix, "the rewrite starts with \"DELETE FROM \"");
    Check(!out.empty() && out.back() == ')', "the rewrite ends with the sub-query's ')'");
    const std::string_view body = out.substr(kPrefix.size(), out.size() - kPrefix.size() - 1);
    for (std::size_t length = 1; 2 * length + kMiddle.size() + kRowid.size() <= body.size(); ++length) {
        const std::string_view table = body.substr(0, length);
        if (body.substr(length, kMiddle.size()) != kMiddle) continue;
        const std::size_t second = length + kMiddle.size();
        if (body.substr(second, length) != table) continue;
        if (body.substr(second + length, kRowid.size()) != kRowid) continue;
        const std::string_view rest = body.substr(second + length + kRowid.size());
        if (!rest.empty() && sql.find(table) != std::string_view::npos &&
            sql.find(rest) != std::string_view::npos)
            return rest;
    }
    Check(false, "the rewrite is made of the input's table and <rest>");
    return {};
}

// Whether SQLite finds a statement in text: one it prepares, or one it
// parses but cannot prepare (a table that does not exist). Where SQLite
// stops at a token it cannot read, the search goes on after that token's
// first byte: SQLite takes a vertical tab for white space only inside a run
// of spaces, not at the start of a token, so it stops at some filler that
// the rewriter rightly leaves out; and a statement after such a byte must
// still be found.
bool sqliteFindsStatement(std::string_view text) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    for (int attempts = 0; begin < end && attempts < 256; ++attempts) {
        sqlite3_stmt* statement = nullptr;
        const char* after = nullptr;
        const int rc = sqlite3_prepare_v2(gDb, begin, static_cast<int>(end - begin), &statement, &after);
        const bool found = statement != nullptr;
        sqlite3_finalize(statement);
        if (found) return true;
        if (rc != SQLITE_OK) {
            const std::string_view message = sqlite3_errmsg(gDb);
            const bool unreadable = message.find("syntax error") != std::string_view::npos ||
                                    message.find("unrecognized token") != std::string_view::npos ||
                                    message.find("incomplete input") != std::string_view::npos;
            if (!unreadable) return true;
            const int offset = sqlite3_error_offset(gDb);
            if (offset < 0) return false;
            begin += offset + 1;
            continue;
        }
        if (after == nullptr || after <= begin) return false;
        begin = after;
    }
    return false;
}

// Prepares the rewritten text: when SQLite takes it, it is one statement
// that deletes from one table only and writes nothing else.
void checkWithSqlite(const std::string& out) {
    Writes writes;
    sqlite3_set_authorizer(gDb, authorize, &writes);
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(gDb, out.c_str(), static_cast<int>(out.size()), &statement, &tail);
    sqlite3_set_authorizer(gDb, nullptr, nullptr);
    if (rc != SQLITE_OK) return;
    Check(statement != nullptr, "the rewrite is a statement, not filler");
    Check(!sqlite3_stmt_readonly(statement), "the rewrite writes");
    sqlite3_finalize(statement);
    Check(!writes.other && writes.deletedTables.size() == 1,
          "the rewrite deletes from one table, nothing else");
    const std::string_view rest(tail, static_cast<std::size_t>(out.c_str() + out.size() - tail));
    Check(!sqliteFindsStatement(rest), "nothing follows the rewritten statement");
}

// What the rewrite leaves out of the input (after <rest>) holds no statement
// SQLite would have run: a second statement is never dropped without a word.
// <rest> may occur more than once; the one the rewriter took is among them.
void checkNothingDropped(std::string_view sql, std::string_view rest) {
    int occurrences = 0;
    for (std::size_t at = sql.find(rest); at != std::string_view::npos; at = sql.find(rest, at + 1)) {
        if (!sqliteFindsStatement(sql.substr(at + rest.size()))) return;
        if (++occurrences == 64) return;  // too many to try; the run moves on
    }
    Check(false, "the text after <rest> holds no statement");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::ifstream file(EXAM_SCHEMA_FILE);
    std::stringstream schema;
    schema << file.rdbuf();
    Check(file.good() || file.eof(), "the examination schema can be read");
    Check(sqlite3_open(":memory:", &gDb) == SQLITE_OK, "SQLite opens a database in memory");
    Check(sqlite3_exec(gDb, schema.str().c_str(), nullptr, nullptr, nullptr) == SQLITE_OK,
          "the examination schema loads");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql = fuzz::Amplified(data, size, std::size_t{256} << 10);
    const auto rewritten = ado::RewriteDeleteJoin(sql);
    const bool blank = ado::IsBlankSql(sql);
    const std::string keyword = ado::LeadingKeyword(sql);
    for (char c : keyword) Check(!(c >= 'a' && c <= 'z'), "the leading keyword is in capitals");
    Check(!blank || keyword.empty(), "a blank text has no leading keyword");
    if (!rewritten) return 0;

    Check(!blank && keyword == "DELETE", "only a DELETE statement is rewritten");
    Check(rewritten->size() <= 2 * sql.size() + kPrefix.size() + kMiddle.size() + kRowid.size() + 1,
          "the rewrite grows only by its fixed parts and the table named twice");
    Check(ado::LeadingKeyword(*rewritten) == "DELETE", "the rewrite is a DELETE statement");
    Check(!ado::RewriteDeleteJoin(*rewritten), "a rewritten statement is not rewritten again");
    const std::string_view rest = checkShape(sql, *rewritten);
    if (rewritten->size() > 65536) return 0;
    checkWithSqlite(*rewritten);
    checkNothingDropped(sql, rest);
    return 0;
}

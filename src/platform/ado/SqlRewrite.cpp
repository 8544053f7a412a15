#include "SqlRewrite.h"

#include <cstddef>
#include <string>

#include "TextCase.h"

namespace ado {
namespace {

enum class TokenKind {
    Space,
    Comment,
    Word,        // unquoted name, keyword or number
    Literal,     // '...'
    QuotedName,  // "...", [...], `...`
    Semicolon,
    Other,         // any other single byte: operators, parentheses, "."
    Unterminated,  // a quote opened and never closed; runs to the end
};

struct Token {
    TokenKind kind;
    std::size_t begin;
    std::size_t end;
};

bool isSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Letters, digits, "_" and "$" as SQLite has them; every byte of a UTF-8
// sequence (0x80 and up) counts, so "Número_Exame" is one word.
bool isWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
}

// Reads the token that starts at i (i < text.size()).
Token readToken(std::string_view text, std::size_t i) {
    const std::size_t n = text.size();
    const auto c = static_cast<unsigned char>(text[i]);
    if (isSpace(c)) {
        std::size_t j = i + 1;
        while (j < n && isSpace(static_cast<unsigned char>(text[j]))) ++j;
        return {TokenKind::Space, i, j};
    }
    if (c == '-' && i + 1 < n && text[i + 1] == '-') {
        std::size_t j = text.find('\n', i + 2);
        return {TokenKind::Comment, i, j == std::string_view::npos ? n : j};
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '*') {
        // SQLite lets an unclosed block comment run to the end of the text.
        std::size_t j = text.find("*/", i + 2);
        return {TokenKind::Comment, i, j == std::string_view::npos ? n : j + 2};
    }
    if (c == '\'' || c == '"' || c == '`') {
        // The quote itself, written twice, stands for one quote inside.
        std::size_t j = i + 1;
        for (;;) {
            j = text.find(static_cast<char>(c), j);
            if (j == std::string_view::npos) return {TokenKind::Unterminated, i, n};
            if (j + 1 < n && static_cast<unsigned char>(text[j + 1]) == c) {
                j += 2;
                continue;
            }
            return {c == '\'' ? TokenKind::Literal : TokenKind::QuotedName, i, j + 1};
        }
    }
    if (c == '[') {
        std::size_t j = text.find(']', i + 1);
        if (j == std::string_view::npos) return {TokenKind::Unterminated, i, n};
        return {TokenKind::QuotedName, i, j + 1};
    }
    if (isWordByte(c)) {
        std::size_t j = i + 1;
        while (j < n && isWordByte(static_cast<unsigned char>(text[j]))) ++j;
        return {TokenKind::Word, i, j};
    }
    if (c == ';') return {TokenKind::Semicolon, i, i + 1};
    return {TokenKind::Other, i, i + 1};
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    Token next() {
        Token t = readToken(text_, pos_);
        pos_ = t.end;
        return t;
    }

    // The next token that is neither white space nor a comment.
    std::optional<Token> nextSignificant() {
        while (!atEnd()) {
            Token t = next();
            if (t.kind != TokenKind::Space && t.kind != TokenKind::Comment) return t;
        }
        return std::nullopt;
    }

    std::string_view text(const Token& t) const { return text_.substr(t.begin, t.end - t.begin); }

    bool isKeyword(const std::optional<Token>& t, std::string_view keyword) const {
        if (!t || t->kind != TokenKind::Word) return false;
        std::string_view word = text(*t);
        if (word.size() != keyword.size()) return false;
        for (std::size_t k = 0; k < word.size(); ++k)
            if (platform::UpperAscii(word[k]) != keyword[k]) return false;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::string> RewriteDeleteJoin(std::string_view sql) {
    Scanner scan(sql);
    if (!scan.isKeyword(scan.nextSignificant(), "DELETE")) return std::nullopt;

    const std::optional<Token> target = scan.nextSignificant();
    if (!target || scan.isKeyword(target, "FROM")) return std::nullopt;
    if (target->kind != TokenKind::Word && target->kind != TokenKind::QuotedName) return std::nullopt;

    if (!scan.isKeyword(scan.nextSignificant(), "FROM")) return std::nullopt;

    // <rest> runs from its first significant token to the last one before the
    // first ";" (or the end); what follows that ";" may only be filler.
    std::optional<std::size_t> restBegin;
    std::size_t restEnd = 0;
    bool terminated = false;
    while (!scan.atEnd()) {
        const Token t = scan.next();
        if (t.kind == TokenKind::Unterminated) return std::nullopt;
        if (t.kind == TokenKind::Space || t.kind == TokenKind::Comment) continue;
        if (t.kind == TokenKind::Semicolon) {
            terminated = true;
            break;
        }
        if (!restBegin) restBegin = t.begin;
        restEnd = t.end;
    }
    if (!restBegin) return std::nullopt;
    if (terminated) {
        while (!scan.atEnd()) {
            const Token t = scan.next();
            if (t.kind != TokenKind::Space && t.kind != TokenKind::Comment && t.kind != TokenKind::Semicolon)
                return std::nullopt;
        }
    }

    const std::string_view table = scan.text(*target);
    const std::string_view rest = sql.substr(*restBegin, restEnd - *restBegin);
    std::string out;
    out.reserve(rest.size() + 2 * table.size() + 96);
    out += "DELETE FROM ";
    out += table;
    out += " AS sqlite_delete_target WHERE rowid IN (SELECT ";
    out += table;
    out += ".rowid FROM ";
    out += rest;
    out += ')';
    return out;
}

bool IsBlankSql(std::string_view sql) {
    Scanner scan(sql);
    while (!scan.atEnd()) {
        const Token t = scan.next();
        if (t.kind != TokenKind::Space && t.kind != TokenKind::Comment && t.kind != TokenKind::Semicolon)
            return false;
    }
    return true;
}

std::string LeadingKeyword(std::string_view sql) {
    Scanner scan(sql);
    const std::optional<Token> first = scan.nextSignificant();
    if (!first || first->kind != TokenKind::Word) return {};
    return platform::UpperAscii(std::string(scan.text(*first)));
}

}  // namespace ado

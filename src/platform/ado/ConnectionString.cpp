#include "ConnectionString.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>

#include "TextCase.h"

namespace ado {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// "Extended Properties" may hold a connection string that holds another: this
// many levels are read, deeper ones are hidden whole.
constexpr int kMaxNesting = 8;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char lower(char c) {
    return platform::LowerAscii(c);
}

enum class Enclosure { None, Quotes, Braces };

// One property and where its value stands in the text.
struct ScannedProperty {
    std::string_view key;
    std::string value;
    std::size_t valueBegin = 0;  // the value's first character, enclosure included
    std::size_t valueEnd = 0;    // just past it, up to the ";" that ends the pair
    Enclosure enclosure = Enclosure::None;
    char quote = '"';
    bool unclosed = false;  // a quote or brace that never closes
};

// For every position p, where a braced value whose text starts at p ends: the
// first "}" that is not part of a "}}" pair, or npos. Computed once from the
// right, so that many unclosed braces cost no more than one.
std::vector<std::size_t> closingBraces(std::string_view text) {
    std::vector<std::size_t> close(text.size() + 2, npos);
    for (std::size_t p = text.size(); p-- > 0;) {
        if (text[p] != '}')
            close[p] = close[p + 1];
        else if (p + 1 < text.size() && text[p + 1] == '}')
            close[p] = close[p + 2];
        else
            close[p] = p;
    }
    return close;
}

// Reading::Ado is how this program reads a string: quotes and braces both
// enclose. Reading::Odbc is how an ODBC driver reads one: only braces do, and
// a quote is an ordinary character.
enum class Reading { Ado, Odbc };

std::vector<ScannedProperty> scan(std::string_view text, Reading reading = Reading::Ado) {
    std::vector<ScannedProperty> result;
    std::vector<std::size_t> close;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t eq = text.find_first_of("=;", i);
        if (eq == npos || text[eq] == ';') {
            // A segment without "=": nothing to keep.
            i = eq == npos ? n : eq + 1;
            continue;
        }
        ScannedProperty p;
        p.key = trimBlanks(text.substr(i, eq - i));
        std::size_t j = eq + 1;
        while (j < n && isBlank(text[j])) ++j;
        p.valueBegin = j;
        const std::size_t semicolon = text.find(';', j);
        const std::size_t segmentEnd = semicolon == npos ? n : semicolon;
        std::size_t next = semicolon == npos ? n : semicolon + 1;
        bool literal = true;
        if (reading == Reading::Ado && j < n && (text[j] == '"' || text[j] == '\'')) {
            literal = false;
            p.enclosure = Enclosure::Quotes;
            p.quote = text[j];
            std::size_t k = j + 1;
            p.unclosed = true;
            while (k < n) {
                if (text[k] == p.quote) {
                    if (k + 1 < n && text[k + 1] == p.quote) {
                        p.value += p.quote;
                        k += 2;
                        continue;
                    }
                    ++k;
                    p.unclosed = false;
                    break;
                }
                p.value += text[k++];
            }
            // Whatever follows the closing quote up to ";" is dropped.
            const std::size_t end = p.unclosed ? npos : text.find(';', k);
            p.valueEnd = end == npos ? n : end;
            next = end == npos ? n : end + 1;
        } else if (j < n && text[j] == '{') {
            if (close.empty()) close = closingBraces(text);
            const std::size_t closing = close[j + 1];
            std::size_t after = closing == npos ? n : closing + 1;
            while (after < n && isBlank(text[after])) ++after;
            if (closing != npos && (after == n || text[after] == ';')) {
                literal = false;
                p.enclosure = Enclosure::Braces;
                // Copied in runs up to each "}}", which stands for one "}".
                for (std::size_t k = j + 1; k < closing;) {
                    const std::size_t brace = std::min(text.find('}', k), closing);
                    p.value.append(text, k, brace - k);
                    if (brace == closing) break;
                    p.value += '}';
                    k = brace + 2;
                }
                p.valueEnd = after;
                next = after == n ? n : after + 1;
            } else {
                p.unclosed = closing == npos;
            }
        }
        if (literal) {
            p.value = std::string(trimBlanks(text.substr(j, segmentEnd - j)));
            p.valueEnd = segmentEnd;
        }
        if (!p.key.empty()) result.push_back(std::move(p));
        i = next;
    }
    return result;
}

bool isNested(std::string_view key) {
    return EqualsIgnoreCase(trimBlanks(key), "Extended Properties");
}

std::string enclosed(const std::string& value, const ScannedProperty& as) {
    if (as.enclosure == Enclosure::None) return value;
    const char open = as.enclosure == Enclosure::Braces ? '{' : as.quote;
    const char close = as.enclosure == Enclosure::Braces ? '}' : as.quote;
    std::string out(1, open);
    for (char c : value) {
        out += c;
        if (c == close) out += close;
    }
    return out + close;
}

// A part of the text to replace.
struct Edit {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

// Both readings are redacted, so that no reader finds a password left: a
// value that one reading takes for quoted may hold a pair for the other.
std::string redact(std::string_view text, int depth) {
    std::vector<Edit> masks;   // password values
    std::vector<Edit> nested;  // "Extended Properties" redacted inside
    for (Reading reading : {Reading::Ado, Reading::Odbc}) {
        for (const auto& p : scan(text, reading)) {
            if (IsPasswordKey(p.key)) {
                // A brace or quote that never closes may run to the end.
                masks.push_back({p.valueBegin, p.unclosed ? text.size() : p.valueEnd, "***"});
            } else if (reading == Reading::Ado && isNested(p.key) && p.value.find('=') != std::string::npos) {
                const std::string inner = depth < kMaxNesting ? redact(p.value, depth + 1) : "***";
                if (inner != p.value) nested.push_back({p.valueBegin, p.valueEnd, enclosed(inner, p)});
            }
        }
    }
    // What the nested redaction already covers stays with it; overlapping
    // parts are hidden whole.
    // The nested edits are in order and apart, one per property.
    std::vector<Edit> edits = nested;
    for (const auto& m : masks) {
        auto after = std::upper_bound(nested.begin(), nested.end(), m.begin,
                                      [](std::size_t at, const Edit& e) { return at < e.begin; });
        const bool covered = after != nested.begin() && m.end <= std::prev(after)->end;
        if (!covered) edits.push_back(m);
    }
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < edits.size();) {
        Edit edit = edits[i++];
        for (; i < edits.size() && (edits[i].begin < edit.end || edits[i].begin == edit.begin); ++i) {
            if (edits[i].begin != edit.begin || edits[i].end != edit.end || edits[i].text != edit.text)
                edit.text = "***";
            edit.end = std::max(edit.end, edits[i].end);
        }
        out.append(text, copied, edit.begin - copied);
        out += edit.text;
        copied = edit.end;
    }
    out.append(text, copied);
    return out;
}

void addForms(const std::string& value, std::vector<std::string>& out) {
    if (value.empty()) return;
    out.push_back(value);
    for (char doubled : {'}', '"', '\''}) {
        std::string form;
        for (char c : value) {
            form += c;
            if (c == doubled) form += c;
        }
        out.push_back(std::move(form));
    }
    for (std::size_t begin = 0; begin < value.size();) {
        const std::size_t end = std::min(value.find(';', begin), value.size());
        if (end > begin && end - begin < value.size()) out.push_back(value.substr(begin, end - begin));
        begin = end + 1;
    }
}

// What the search for passwords has found, and how much more it may read.
struct PasswordSearch {
    std::vector<std::string> values;
    std::size_t budget = 0;  // characters that nested readings may still read
    std::size_t read = 0;    // characters read so far
    bool unreadable = false;
};

void collect(std::string_view text, int depth, PasswordSearch& search) {
    std::vector<std::string> nested;
    for (Reading reading : {Reading::Ado, Reading::Odbc}) {
        search.read += text.size();
        bool restAdded = false;
        for (const auto& p : scan(text, reading)) {
            if (IsPasswordKey(p.key)) {
                addForms(p.value, search.values);
                // Read without its opening brace, and up to the end, as a
                // reader of ODBC strings might. Every later unclosed brace
                // stands in this rest already.
                if (p.unclosed && p.enclosure == Enclosure::None) {
                    addForms(p.value.substr(1), search.values);
                    if (!restAdded) addForms(std::string(text.substr(p.valueBegin + 1)), search.values);
                    restAdded = true;
                }
            } else if (p.value.find('=') != std::string::npos) {
                // Whatever the key, a value that reads as a connection string
                // may be read as one by some driver.
                nested.push_back(p.value);
            }
        }
    }
    // The two readings agree on most values (all braced ones): each distinct
    // value is read once. Each level of nesting costs at most what the text
    // itself did, so a bound in proportion to the whole string's length is
    // reached only by strings that no reader could take apart either; their
    // passwords are then unknown, never half known.
    std::sort(nested.begin(), nested.end());
    nested.erase(std::unique(nested.begin(), nested.end()), nested.end());
    for (const auto& value : nested) {
        const std::size_t cost = 2 * value.size();
        if (depth >= kMaxNesting || cost > search.budget) {
            search.unreadable = true;
            continue;
        }
        search.budget -= cost;
        collect(value, depth + 1, search);
    }
}

// The budget for the nested readings of a string of length characters: each
// level of nesting may be read once, in both readings.
PasswordSearch searchFor(std::size_t length) {
    PasswordSearch search;
    search.budget = 2 * static_cast<std::size_t>(kMaxNesting) * length + 65536;
    return search;
}

std::vector<std::string> found(PasswordSearch& search, std::size_t* charactersRead) {
    if (charactersRead) *charactersRead = search.read;
    if (search.unreadable) return {std::string()};
    std::sort(search.values.begin(), search.values.end());
    search.values.erase(std::unique(search.values.begin(), search.values.end()), search.values.end());
    return std::move(search.values);
}

// Where pattern begins in text, overlapping occurrences included, in time
// proportional to the two lengths (Knuth, Morris and Pratt): passwords and
// texts may both be long, and a naive search is quadratic on some of them.
std::vector<std::size_t> occurrences(std::string_view pattern, std::string_view text) {
    std::vector<std::size_t> found;
    if (pattern.empty()) return found;
    // fallback[i]: the length of the longest proper prefix of pattern that
    // is also a suffix of its first i + 1 characters.
    std::vector<std::size_t> fallback(pattern.size(), 0);
    for (std::size_t i = 1, k = 0; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k]) k = fallback[k - 1];
        if (pattern[i] == pattern[k]) ++k;
        fallback[i] = k;
    }
    for (std::size_t i = 0, k = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != pattern[k]) k = fallback[k - 1];
        if (text[i] == pattern[k]) ++k;
        if (k == pattern.size()) {
            found.push_back(i + 1 - k);
            k = fallback[k - 1];
        }
    }
    return found;
}

// Whether the text from at to end stands where a password's value stands:
// after a key that names a password and "=" (blanks, and an opening brace or
// quote, between them), and up to the end of the value. Shown there as
// "***", it tells nothing that the key does not already say.
bool standsAsPassword(std::string_view text, std::size_t at, std::size_t end) {
    if (end < text.size() && text[end] != ';' && text[end] != '}' && text[end] != '"' && text[end] != '\'' &&
        !isBlank(text[end]))
        return false;
    std::size_t i = at;
    if (i > 0 && (text[i - 1] == '{' || text[i - 1] == '"' || text[i - 1] == '\'')) --i;
    while (i > 0 && isBlank(text[i - 1])) --i;
    if (i == 0 || text[i - 1] != '=') return false;
    // The key runs back to the pair's start; no key is longer than this.
    constexpr std::size_t kLongestKey = 64;
    const std::size_t keyEnd = --i;
    while (i > 0 && keyEnd - i < kLongestKey && text[i - 1] != ';' && text[i - 1] != '=') --i;
    return IsPasswordKey(text.substr(i, keyEnd - i));
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool IsPasswordKey(std::string_view key) {
    auto enclosing = [](char c) { return isBlank(c) || c == '"' || c == '\'' || c == '{' || c == '}'; };
    while (!key.empty() && enclosing(key.front())) key.remove_prefix(1);
    while (!key.empty() && enclosing(key.back())) key.remove_suffix(1);
    std::string name(key);
    for (char& c : name) c = lower(c);
    for (std::string_view word : {"pwd", "passw", "senha", "secret"})
        if (name.find(word) != std::string::npos) return true;
    return false;
}

std::vector<ConnectionProperty> ParseConnectionString(std::string_view text) {
    std::vector<ConnectionProperty> result;
    for (auto& p : scan(text)) result.push_back({std::string(p.key), std::move(p.value)});
    return result;
}

std::optional<std::string> FindProperty(const std::vector<ConnectionProperty>& properties,
                                        std::string_view key) {
    std::optional<std::string> found;
    for (const auto& p : properties)
        if (EqualsIgnoreCase(p.key, key)) found = p.value;
    return found;
}

std::string RedactPasswords(std::string_view connectionString) {
    return redact(connectionString, 0);
}

std::string RedactPasswords(const std::vector<ConnectionProperty>& properties) {
    std::string out;
    for (const auto& p : properties) {
        if (!out.empty()) out += ';';
        out += p.key + "=" + (IsPasswordKey(p.key) ? "***" : isNested(p.key) ? redact(p.value, 1) : p.value);
    }
    return out;
}

std::vector<std::string> PasswordValues(std::string_view connectionString, std::size_t* charactersRead) {
    PasswordSearch search = searchFor(connectionString.size());
    collect(connectionString, 0, search);
    return found(search, charactersRead);
}

std::vector<std::string> PasswordValues(const std::vector<ConnectionProperty>& properties) {
    std::size_t length = 0;
    for (const auto& p : properties) length += p.key.size() + p.value.size() + 2;
    PasswordSearch search = searchFor(length);
    for (const auto& p : properties) {
        if (IsPasswordKey(p.key)) {
            addForms(p.value, search.values);
            // An opening brace that was read as part of the value.
            if (!p.value.empty() && p.value.front() == '{') addForms(p.value.substr(1), search.values);
        } else if (p.value.find('=') != std::string::npos) {
            collect(p.value, 1, search);
        }
    }
    return found(search, nullptr);
}

const char* const kWithheldText = "(text withheld: it held the password)";

std::string RedactSecrets(std::string text, const std::vector<std::string>& secrets) {
    std::vector<const std::string*> ordered;
    for (const auto& s : secrets)
        if (s.find_first_not_of('*') != std::string::npos) ordered.push_back(&s);
    // No real connection string holds more than a few passwords; searching
    // for thousands would hold up every message, so such a text is hidden
    // whole, as is every text when the passwords are unknown.
    const bool unknown = std::any_of(secrets.begin(), secrets.end(), [](const auto& s) { return s.empty(); });
    if (unknown || ordered.size() > 256) return "***";
    // Longest first, so that a password is blanked whole before its pieces.
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const std::string* a, const std::string* b) { return a->size() > b->size(); });
    // The parts to blank out, by where they begin.
    std::map<std::size_t, std::size_t> hidden;
    auto alreadyHidden = [&](std::size_t begin, std::size_t end) {
        auto after = hidden.upper_bound(begin);
        return after != hidden.begin() && std::prev(after)->second >= end;
    };
    for (const std::string* secret : ordered) {
        for (std::size_t at : occurrences(*secret, text)) {
            const std::size_t end = at + secret->size();
            if (alreadyHidden(at, end)) continue;
            if (!standsAsPassword(text, at, end)) return kWithheldText;
            hidden[at] = end;
        }
    }
    std::string out;
    std::size_t copied = 0;
    for (const auto& [begin, end] : hidden) {
        if (end <= copied) continue;
        if (begin >= copied) {
            out.append(text, copied, begin - copied);
            out += "***";
        }
        copied = end;
    }
    out.append(text, copied);
    // The blanks themselves may complete a password that ends in "*" with
    // the text before it ("PWD=*" in "PWD=***"): what still shows one is
    // withheld whole.
    for (const std::string* secret : ordered)
        if (!occurrences(*secret, out).empty()) return kWithheldText;
    return out;
}

}  // namespace ado

// What the fault tests share: the operator's messages carried out of a child
// process, and checks on a SQLite file made without the code under test.
#pragma once

#include <sqlite3.h>

#include <QApplication>

#include <ostream>
#include <string>
#include <vector>

#include "FakeToolkit.h"
#include "QtApplication.h"

namespace faults {

// One message box as the operator saw it.
struct Shown {
    std::string title;
    std::string prompt;
    bool operator==(const Shown&) const = default;
};

inline void PrintTo(const Shown& shown, std::ostream* os) {
    *os << "{\"" << shown.title << "\", \"" << shown.prompt << "\"}";
}

inline std::vector<Shown> ShownBy(const testing_support::FakeToolkit& ui) {
    std::vector<Shown> shown;
    for (const auto& call : ui.calls) shown.push_back({call.title, call.prompt});
    return shown;
}

// The message boxes in a form that survives a pipe: title and prompt split
// by the unit separator, boxes ended by the record separator (neither occurs
// in the program's texts or in the examination numbers used here).
inline std::string Encode(const std::vector<Shown>& shown) {
    std::string text;
    for (const auto& s : shown) text += s.title + '\x1F' + s.prompt + '\x1E';
    return text;
}

inline std::vector<Shown> Decode(const std::string& text) {
    std::vector<Shown> shown;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\x1E', start)) != std::string::npos; start = end + 1) {
        const std::string record = text.substr(start, end - start);
        const std::size_t unit = record.find('\x1F');
        if (unit == std::string::npos) continue;
        shown.push_back({record.substr(0, unit), record.substr(unit + 1)});
    }
    return shown;
}

// PRAGMA integrity_check through SQLite itself; opening the file also rolls
// back a hot journal that a killed writer left behind.
inline std::string IntegrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    std::string result;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        result = std::string("cannot open: ") + sqlite3_errmsg(db);
        sqlite3_close(db);
        return result;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK) {
        result = std::string("cannot check: ") + sqlite3_errmsg(db);
    } else {
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            if (!result.empty()) result += '\n';
            result += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        if (rc != SQLITE_DONE) result += std::string("check failed: ") + sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

// The one QApplication of the process (a forked child makes its own when the
// test process has none).
using testing_support::EnsureApplication;

}  // namespace faults

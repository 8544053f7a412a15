// Takes the program's diagnostics in place of standard error while it lives,
// so that a test reads what the IT person would have been told.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Diagnostics.h"

namespace testing_support {

class DiagnosticLog {
public:
    struct Entry {
        std::string category;
        std::string text;
        bool operator==(const Entry&) const = default;
    };

    DiagnosticLog()
        : previous_(
              platform::ReplaceDiagnosticReceiver([this](std::string_view category, std::string_view text) {
                  entries_.push_back({std::string(category), std::string(text)});
              })) {}
    ~DiagnosticLog() { platform::ReplaceDiagnosticReceiver(std::move(previous_)); }
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    const std::vector<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

private:
    std::vector<Entry> entries_;
    platform::DiagnosticReceiver previous_;
};

}  // namespace testing_support

// What the command line writes: one examination's result as a table or as
// JSON, the summary at the end, and the progress bar.
#pragma once

#include <array>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "CascadeDelete.h"
#include "RemovalPreview.h"
#include "RemoveExamCommand.h"

namespace app::cli {

// A progress bar on the error stream, for long lists on a terminal.
class Progress {
public:
    Progress(std::ostream& err, bool enabled, std::size_t total)
        : err_(err), enabled_(enabled), total_(total) {}

    void Update(std::size_t done);
    void Clear();

private:
    std::ostream& err_;
    bool enabled_;
    std::size_t total_;
    std::size_t permille_ = 0;
    bool drawn_ = false;
};

// Lists at least this long get a progress bar.
constexpr std::size_t kProgressFrom = 20;

enum class Kind { Done, NotFound, Failed, NotTried };

// One examination's result, from the removal or from the dry run.
struct ExamResult {
    std::string number;
    Kind kind = Kind::NotTried;
    std::string token;  // resultado: removido, seria_removido, nao_encontrado, vazio, falhou, nao_tentado
    std::string words;  // the same for people
    std::string checkError;
    std::array<removal::CascadeReport, 2> sets;
};

ExamResult fromRemoval(const std::string& number, const removal::RemovalReport& report);
ExamResult fromPreview(const std::string& number, const removal::RemovalPreview& preview);

// Rows that went (or would go): those of committed sets only.
long long rowsRemoved(const ExamResult& result);

void writeTable(std::ostream& out, const ExamResult& result, bool simulate);
nlohmann::ordered_json toJson(const ExamResult& result, bool simulate);

// Writes the JSON document one examination at a time, byte for byte as the
// whole document's dump(2) would be, so that memory does not grow with the
// list: {"modo": ..., "exames": [...], "resumo": {...}}.
class JsonWriter {
public:
    JsonWriter(std::ostream& out, bool simulate) : out_(out), simulate_(simulate) {}
    void Add(const nlohmann::ordered_json& exam);
    void Finish(const nlohmann::ordered_json& summary);

private:
    void begin();

    std::ostream& out_;
    bool simulate_;
    bool begun_ = false;
    bool any_ = false;
};

struct Summary {
    std::size_t done = 0, notFound = 0, failed = 0, notTried = 0;
    long long rows = 0;
};

// The summary of a run of exams examinations, as the table's last line or
// as the JSON document's "resumo".
void writeSummary(std::ostream& out, const Summary& summary, std::size_t exams, bool simulate);
nlohmann::ordered_json summaryJson(const Summary& summary, std::size_t exams, bool simulate);

}  // namespace app::cli

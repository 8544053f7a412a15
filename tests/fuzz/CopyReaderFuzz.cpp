// Fuzz target: the reader of copy files (what --restaurar trusts).
//
// Each input is checked as it is, and again with its checksum made right (in
// a file of records, every line's, chained), so that the checks behind the
// checksum (form, types, names, origin) are reached too. A refusal must say why; nothing may crash, leak or take long
// on a deeply nested or huge document.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "Digest.h"
#include "FuzzCheck.h"
#include "RestoreCopy.h"

namespace {
const std::string kConnection = "Provider=SQLite;Data Source=/srv/quelvomir/exames.db";
}

namespace {

// Each line that is a JSON object sealed again and chained to the one
// before; other lines kept as they are.
std::string resealedRecords(const std::string& input) {
    using nlohmann::ordered_json;
    std::string out, previous;
    for (std::size_t at = 0; at < input.size();) {
        const std::size_t end = input.find('\n', at);
        const std::size_t next = end == std::string::npos ? input.size() : end + 1;
        const std::string line = input.substr(at, next - at);
        at = next;
        ordered_json record;
        if (ordered_json::accept(line)) record = ordered_json::parse(line, nullptr, false);
        if (!record.is_object()) {
            out += line;
            continue;
        }
        record.erase("sha256");
        if (!out.empty()) {
            record.erase("anterior");
            record["anterior"] = previous;
        }
        previous = platform::Sha256Hex(record.dump(-1, ' ', false, ordered_json::error_handler_t::replace));
        record["sha256"] = previous;
        out += record.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string reason = removal::CheckCopyText(input, kConnection);
    // A file of records: its first line ends before the input does.
    const std::size_t firstEnd = input.find('\n');
    if (firstEnd != std::string::npos && firstEnd + 1 < input.size()) {
        removal::CheckCopyText(resealedRecords(input), kConnection);
        return 0;
    }
    // Most inputs are no JSON at all: told so without building a document.
    nlohmann::ordered_json document;
    if (nlohmann::ordered_json::accept(input)) document = nlohmann::ordered_json::parse(input, nullptr, false);
    if (!document.is_object()) {
        fuzz::Check(!reason.empty(), "a text that is no JSON object is refused");
        return 0;
    }
    document.erase("sha256");
    const std::string content = document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    document["sha256"] = platform::Sha256Hex(content);
    const std::string resealed = document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    removal::CheckCopyText(resealed, kConnection);
    return 0;
}

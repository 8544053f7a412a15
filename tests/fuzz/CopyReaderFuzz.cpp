// Fuzz target: the reader of copy files (what --restaurar trusts).
//
// Each input is checked as it is, and again with its checksum made right (in
// a file of records, every line's, chained), so that the checks behind the
// checksum (form, types, names, origin) are reached too. A refusal must say why; nothing may crash, leak or take long
// on a deeply nested or huge document.
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Digest.h"
#include "FuzzCheck.h"
#include "JsonText.h"
#include "RestoreCopy.h"

namespace {
const std::string kConnection = "Provider=SQLite;Data Source=/srv/quelvomir/exames.db";
}

namespace {

using nlohmann::ordered_json;

// Whether text may hold a JSON object: its last character other than white
// space closes one. Text that cannot is not read.
bool mayBeObject(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return last != std::string_view::npos && text[last] == '}';
}

// The object's compact text with the member "sha256" last, holding the
// SHA-256 of the text without it (written once, the checksum put in).
std::string sealed(ordered_json& object, std::string& checksum) {
    object.erase("sha256");
    std::string text = object.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    checksum = platform::Sha256Hex(text);
    text.pop_back();
    if (text.size() > 1) text += ',';
    return text + "\"sha256\":\"" + checksum + "\"}";
}

// Each line that is a JSON object sealed again and chained to the one
// before; other lines kept as they are.
std::string resealedRecords(const std::string& input) {
    const std::string_view text(input);
    std::string out, previous;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = text.substr(at, next - at);
        at = next;
        ordered_json record;
        if (mayBeObject(line)) record = removal::ReadJson(line);
        if (!record.is_object()) {
            out += line;
            continue;
        }
        if (!out.empty()) {
            record.erase("anterior");
            record["anterior"] = previous;
        }
        out += sealed(record, previous) + "\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string reason = removal::CheckCopyText(input, kConnection);
    // A file of records: its first line ends before the input does. Text
    // that resealing leaves as it was has been checked already.
    const std::size_t firstEnd = input.find('\n');
    if (firstEnd != std::string::npos && firstEnd + 1 < input.size()) {
        const std::string resealed = resealedRecords(input);
        if (resealed != input) removal::CheckCopyText(resealed, kConnection);
        return 0;
    }
    // Most inputs are no JSON at all: told so without building a document.
    ordered_json document;
    if (mayBeObject(input) && ordered_json::accept(input)) document = removal::ReadJson(input);
    if (!document.is_object()) {
        fuzz::Check(!reason.empty(), "a text that is no JSON object is refused");
        return 0;
    }
    std::string checksum;
    const std::string resealed = sealed(document, checksum);
    if (resealed != input) removal::CheckCopyText(resealed, kConnection);
    return 0;
}

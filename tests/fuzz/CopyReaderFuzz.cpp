// Fuzz target: the reader of copy files (what --restaurar trusts).
//
// Each input is checked as it is, and again with its checksum made right, so
// that the checks behind the checksum (form, types, names, origin) are
// reached too. A refusal must say why; nothing may crash, leak or take long
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string reason = removal::CheckCopyText(input, kConnection);
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

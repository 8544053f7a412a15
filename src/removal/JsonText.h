// Reading a JSON text into an nlohmann::ordered_json document.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace removal {

// The value a JSON text holds, the very one ordered_json::parse(text,
// nullptr, false) gives (a discarded value when text is no JSON), built at
// a half to two thirds of parse()'s cost (see JsonText.cpp).
nlohmann::ordered_json ReadJson(std::string_view text);

}  // namespace removal

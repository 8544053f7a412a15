#include "JsonText.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace removal {
namespace {

using nlohmann::ordered_json;

// Builds the value from the parser's events. The members and elements of the
// objects and arrays still open wait in lists shared by every level, and each
// container is filled at once when it closes, with room made for all of
// them: ordered_json's object grows as a vector of pairs whose keys are
// const, so each time it grows it copies its members, values and all, and
// parse() then copies most of a copy file's tables at least once.
class Builder final : public nlohmann::json_sax<ordered_json> {
public:
    ordered_json value;

    bool null() override { return add(nullptr); }
    bool boolean(bool v) override { return add(v); }
    bool number_integer(number_integer_t v) override { return add(v); }
    bool number_unsigned(number_unsigned_t v) override { return add(v); }
    bool number_float(number_float_t v, const string_t&) override { return add(v); }
    // Copied, not moved: the parser keeps its buffer for the next string.
    bool string(string_t& v) override { return add(v); }
    bool binary(binary_t& v) override { return add(ordered_json::binary(std::move(v))); }
    bool key(string_t& v) override {
        keys_.push_back(v);
        return true;
    }
    bool start_object(std::size_t) override { return open(); }
    bool start_array(std::size_t) override { return open(); }

    bool end_object() override {
        const Level level = levels_.back();
        levels_.pop_back();
        ordered_json object = ordered_json::object();
        auto& members = object.get_ref<ordered_json::object_t&>();
        members.reserve(keys_.size() - level.firstKey);
        for (std::size_t k = level.firstKey, v = level.firstValue; k < keys_.size(); ++k, ++v) {
            // A key given twice keeps its first place and takes its last value.
            const auto same = std::find_if(members.begin(), members.end(),
                                           [&](const auto& member) { return member.first == keys_[k]; });
            if (same != members.end())
                same->second = std::move(values_[v]);
            else
                members.emplace_back(std::move(keys_[k]), std::move(values_[v]));
        }
        keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(level.firstKey), keys_.end());
        values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(level.firstValue), values_.end());
        return add(std::move(object));
    }

    bool end_array() override {
        const Level level = levels_.back();
        levels_.pop_back();
        const auto first = values_.begin() + static_cast<std::ptrdiff_t>(level.firstValue);
        ordered_json array = ordered_json::array();
        array.get_ref<ordered_json::array_t&>().assign(std::make_move_iterator(first),
                                                       std::make_move_iterator(values_.end()));
        values_.erase(first, values_.end());
        return add(std::move(array));
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    struct Level {
        std::size_t firstValue;
        std::size_t firstKey;
    };
    std::vector<Level> levels_;
    std::vector<ordered_json> values_;
    std::vector<string_t> keys_;

    bool open() {
        levels_.push_back({values_.size(), keys_.size()});
        return true;
    }
    bool add(ordered_json v) {
        if (levels_.empty())
            value = std::move(v);
        else
            values_.push_back(std::move(v));
        return true;
    }
};

}  // namespace

ordered_json ReadJson(std::string_view text) {
    Builder builder;
    if (!ordered_json::sax_parse(text, &builder)) return ordered_json(ordered_json::value_t::discarded);
    return std::move(builder.value);
}

}  // namespace removal

#include "feed/BoundedJson.h"

#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace zelk {
namespace {

using Json = nlohmann::json;

// The SAX side of the parse: builds the kept values by hand, so that a
// container over a limit costs one counter, not a value.
class BoundedBuilder {
public:
    explicit BoundedBuilder(const JsonLimits& limits) : limits_(limits) {}

    bool null() { return put(Json(nullptr)); }
    bool boolean(bool value) { return put(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return put(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return put(Json(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return put(Json(value)); }
    bool string(Json::string_t& value) { return put(Json(std::move(value))); }
    bool binary(Json::binary_t& value) { return put(Json::binary(std::move(value))); }
    bool start_object(std::size_t) { return open(Json::value_t::object); }
    bool start_array(std::size_t) { return open(Json::value_t::array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(Json::string_t& name)
    {
        if (skipped_ == 0) key_ = std::move(name);
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&)
    {
        errored_ = true;
        return false;
    }

    BoundedJson result()
    {
        if (tooDeep_)
            throw JsonShapeError(fmt::format("JSON nested deeper than {} levels", limits_.maxDepth));
        BoundedJson parsed;
        parsed.value = errored_ ? Json(Json::value_t::discarded) : std::move(root_);
        parsed.leftOut = leftOut_;
        return parsed;
    }

private:
    // Counts a member of the innermost open container; false once it is full
    // or the values left of the budget are fewer than room.
    bool admit(std::size_t room)
    {
        if (!open_.empty()) {
            const std::size_t limit = open_.size() == 2 ? limits_.maxEntries : limits_.maxItems;
            if (++counts_.back() > limit) {
                ++leftOut_;
                return false;
            }
        }
        if (limits_.maxValues - built_ < room) {
            ++leftOut_;
            return false;
        }
        ++built_;
        return true;
    }

    Json* place(Json&& value)
    {
        if (open_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        Json& parent = *open_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        Json& slot = parent[key_];
        slot = std::move(value);
        return &slot;
    }

    bool put(Json&& value)
    {
        if (skipped_ == 0 && admit(1)) place(std::move(value));
        return true;
    }

    bool open(Json::value_t type)
    {
        if (open_.size() + skipped_ >= limits_.maxDepth) {
            tooDeep_ = true;
            return false;
        }
        if (skipped_ > 0 || !admit(1 + limits_.maxItems)) {
            ++skipped_;
            return true;
        }
        open_.push_back(place(Json(type)));
        counts_.push_back(0);
        return true;
    }

    bool close()
    {
        if (skipped_ > 0) {
            --skipped_;
        } else {
            open_.pop_back();
            counts_.pop_back();
        }
        return true;
    }

    const JsonLimits& limits_;
    Json root_;
    std::vector<Json*> open_;          // the kept containers open, outermost first
    std::vector<std::size_t> counts_;  // members met of each
    std::size_t skipped_ = 0;          // containers open inside one passed over
    std::string key_;
    std::size_t leftOut_ = 0;
    std::size_t built_ = 0;            // values placed, never above limits_.maxValues
    bool tooDeep_ = false;
    bool errored_ = false;
};

// The shape of the text before its parse: how deep it nests and how long it
// runs without a number or a text (the bytes nlohmann's lexer keeps).
void lf_checkShape(std::string_view text, const JsonLimits& limits)
{
    std::size_t depth = 0;
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t start = i;
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') ++i;
            if (i - start - 1 > limits.maxTextBytes)
                throw JsonShapeError(fmt::format("JSON text of more than {} bytes", limits.maxTextBytes));
            run = 0;
            continue;
        }
        if ((c >= '0' && c <= '9') || c == '-') {
            run = 0;
            continue;
        }
        if (++run > limits.maxBytesWithoutLiteral)
            throw JsonShapeError(
                fmt::format("JSON of more than {} bytes without a number or a text", limits.maxBytesWithoutLiteral));
        if (c == '[' || c == '{') {
            if (++depth > limits.maxDepth)
                throw JsonShapeError(fmt::format("JSON nested deeper than {} levels", limits.maxDepth));
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
}

} // namespace

BoundedJson gf_parseBoundedJson(std::string_view text, const JsonLimits& limits)
{
    lf_checkShape(text, limits);
    BoundedBuilder builder(limits);
    Json::sax_parse(text, &builder, nlohmann::json::input_format_t::json, true);
    return builder.result();
}

} // namespace zelk

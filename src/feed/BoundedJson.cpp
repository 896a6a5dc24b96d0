#include "feed/BoundedJson.h"

#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace zelk {
namespace {

using Json = nlohmann::json;

// What the built values take of the heap, as libstdc++ and glibc lay them out
// on 64-bit systems, counted from above: a block costs its header and its
// rounding (24 bytes at most), a text of up to 15 bytes lives inside its
// string, an array's room grows by doubling (twice its members' size is
// counted), and an object member is a tree node holding its name and value.
constexpr std::size_t kBlockBytes = 24;
constexpr std::size_t kLocalTextBytes = 15;
constexpr std::size_t kArrayItemBytes = 2 * sizeof(Json);
constexpr std::size_t kObjectMemberBytes = sizeof(Json::object_t::value_type) + 4 * sizeof(void*) + kBlockBytes;
// Room asked of the budget for each member a container may get: a member
// with a short text, so that an aircraft's array of short fields is built whole.
constexpr std::size_t kMemberRoomBytes = kObjectMemberBytes + sizeof(Json::string_t) + kBlockBytes;
// Room the scalars of the top value keep for themselves, each: a member
// with a short text.
constexpr std::size_t kTopScalarBytes = 4 * kMemberRoomBytes;

// A text of this room beside its string.
std::size_t lf_heapBytes(std::size_t room) { return room > kLocalTextBytes ? room + 1 + kBlockBytes : 0; }

// The SAX side of the parse: builds the kept values by hand, so that a
// container over a limit costs one counter, not a value.
class BoundedBuilder {
public:
    explicit BoundedBuilder(const JsonLimits& limits) : limits_(limits) {}

    bool null() { return put(Json(nullptr), 0); }
    bool boolean(bool value) { return put(Json(value), 0); }
    bool number_integer(Json::number_integer_t value) { return put(Json(value), 0); }
    bool number_unsigned(Json::number_unsigned_t value) { return put(Json(value), 0); }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return put(Json(value), 0); }
    bool string(Json::string_t& value)
    {
        // Moved as read, with the room the lexer gave it.
        const std::size_t bytes = sizeof(Json::string_t) + kBlockBytes + lf_heapBytes(value.capacity());
        return put(Json(std::move(value)), bytes);
    }
    bool binary(Json::binary_t& value)
    {
        const std::size_t bytes = sizeof(Json::binary_t) + kBlockBytes + value.capacity() + kBlockBytes;
        return put(Json::binary(std::move(value)), bytes);
    }
    bool start_object(std::size_t) { return open(Json::value_t::object, sizeof(Json::object_t) + kBlockBytes); }
    bool start_array(std::size_t) { return open(Json::value_t::array, sizeof(Json::array_t) + kBlockBytes); }
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
    // The bytes a value's place in the innermost open container takes.
    std::size_t slotBytes() const
    {
        if (open_.empty()) return 0;
        if (open_.back()->is_array()) return kArrayItemBytes;
        // The name is copied into the member at its length.
        return kObjectMemberBytes + lf_heapBytes(key_.size());
    }

    // Counts a member of the innermost open container; false once it is full
    // or the budgets left are short of room (values, bytes). The top value's
    // own scalars may spend the reserve every other value leaves.
    bool admit(std::size_t bytes, std::size_t roomValues, std::size_t roomBytes, bool scalar)
    {
        if (!open_.empty()) {
            const std::size_t limit = open_.size() == 2 ? limits_.maxEntries : limits_.maxItems;
            if (++counts_.back() > limit) {
                ++leftOut_;
                return false;
            }
        }
        const bool topScalar = scalar && open_.size() == 1;
        const std::size_t reserveValues = topScalar ? 0 : limits_.maxItems;
        const std::size_t reserveBytes = topScalar ? 0 : limits_.maxItems * kTopScalarBytes;
        if (limits_.maxValues - built_ < roomValues + reserveValues ||
            limits_.maxBuiltBytes - builtBytes_ < bytes + roomBytes + reserveBytes) {
            ++leftOut_;
            return false;
        }
        ++built_;
        builtBytes_ += bytes;
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

    bool put(Json&& value, std::size_t ownBytes)
    {
        if (skipped_ == 0 && admit(slotBytes() + ownBytes, 1, 0, true)) place(std::move(value));
        return true;
    }

    bool open(Json::value_t type, std::size_t ownBytes)
    {
        if (open_.size() + skipped_ >= limits_.maxDepth) {
            tooDeep_ = true;
            return false;
        }
        if (skipped_ > 0 ||
            !admit(slotBytes() + ownBytes, 1 + limits_.maxItems, limits_.maxItems * kMemberRoomBytes, false)) {
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
    std::size_t builtBytes_ = 0;       // their heap bytes as counted, never above limits_.maxBuiltBytes
    bool tooDeep_ = false;
    bool errored_ = false;
};

bool lf_isNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// The shape of the text before its parse: how deep it nests, how long it
// runs without a number or a text, and how long its texts and numbers are
// (the bytes nlohmann's lexer keeps).
void lf_checkShape(std::string_view text, const JsonLimits& limits)
{
    std::size_t depth = 0;
    std::size_t run = 0;
    std::size_t number = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        number = lf_isNumberChar(c) ? number + 1 : 0;
        if (number > limits.maxNumberChars)
            throw JsonShapeError(fmt::format("JSON number of more than {} characters", limits.maxNumberChars));
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

#pragma once

#include <cstddef>
#include <stdexcept>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zelk {

// How much of a peer's JSON text is built into values. The byte limit of a
// reply alone bounds neither the nesting (copying, printing or comparing a
// value recurses once per level) nor the memory: every "[]" of a reply is a
// value of its own, tens of bytes each once built.
struct JsonLimits {
    // Containers open at once; no reply of the feeds nests deeper than three.
    std::size_t maxDepth = 6;
    // Members kept of each container directly inside the top value: the
    // aircraft of a traffic reply, the stations of a weather reply.
    std::size_t maxEntries = 20000;
    // Members kept of the top value and of every container deeper than the
    // entries (a traffic array has 49 items).
    std::size_t maxItems = 64;
    // Bytes in a row without a number or a text. nlohmann's lexer keeps every
    // byte since the last number or text for its error messages: 31 MB of
    // "[],[]," cost 31 MB (and twice that while its buffer grows), although
    // no value is kept. A reply of the feeds has at most some dozens.
    std::size_t maxBytesWithoutLiteral = 4096;
};
inline constexpr JsonLimits kFeedJsonLimits{};

// A text nested deeper than the limits allow, or with too long a run of
// bytes without a number or a text: nothing of it is kept.
class JsonShapeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BoundedJson {
    nlohmann::json value;    // discarded (is_discarded()) when the text is no JSON
    std::size_t leftOut = 0; // members over the limits, not built (their insides not counted)
};

// Parses text without recursion, building only what the limits admit; the
// members over a limit are passed over, each counted once. Throws
// JsonShapeError "JSON nested deeper than {} levels" when a container opens
// over maxDepth, "JSON of more than {} bytes without a number or a text" for
// such a run; both are found before any parse.
BoundedJson gf_parseBoundedJson(std::string_view text, const JsonLimits& limits = kFeedJsonLimits);

} // namespace zelk

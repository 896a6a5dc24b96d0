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
    // Values built of one text, containers included. The counts above bound
    // each container, not the whole: 8 members of 20,000 arrays of 64 empty
    // texts fit them and cost some 700 MB once built. 5,000 aircraft of a
    // traffic reply are 245,000 values (an array of 48 fields each), a parked
    // list of as many fewer; past this the rest of the text is passed over.
    std::size_t maxValues = 300000;
    // Bytes of one text, a member's name included. nlohmann's lexer holds a
    // text twice while it reads it, each copy growing by doubling, and keeps
    // the larger copy's room to the end of the parse: a text of 30 MB cost
    // some 130 MB. The service's texts are some hundred bytes, its GUIDs 36,
    // and of a METAR only the first 2,048 bytes are read.
    std::size_t maxTextBytes = 1u << 20;
    // Characters of one number. The lexer holds a number twice too, and a
    // parse error quotes it whole: one of 31 MB cost over 200 MB although it
    // was refused. A double needs some 25 characters.
    std::size_t maxNumberChars = 64;
    // Bytes of the heap the built values take, names and texts included. A
    // count of values does not see their size: 300,000 members with names of
    // 92 bytes cost some 150 MB. 5,000 aircraft of a traffic reply are some
    // 15 MB counted (11 MB taken), 22 MB were every field a text; the reply's
    // own text, up to 32 MB, is held beside them while they are built, by
    // each reader: two readers stay well within 150 MB.
    std::size_t maxBuiltBytes = 24u << 20;
};
inline constexpr JsonLimits kFeedJsonLimits{};

// A text nested deeper than the limits allow, with too long a run of bytes
// without a number or a text, or with too long a text or number: nothing of
// it is kept.
class JsonShapeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BoundedJson {
    nlohmann::json value;    // discarded (is_discarded()) when the text is no JSON
    std::size_t leftOut = 0; // members over the limits, not built (their insides not counted)
};

// Parses text without recursion, building only what the limits admit; the
// members over a limit are passed over, each counted once. A container is
// built only while the budgets have room for it and maxItems members, so that
// running out of them leaves no aircraft's array of short fields half built.
// The scalars directly in the top value ("status", the pace) draw on a
// reserve the rest cannot spend: a large "data" before them never costs them
// their place. Throws JsonShapeError "JSON nested deeper than {} levels" when
// a container opens over maxDepth, "JSON of more than {} bytes without a
// number or a text" for such a run, "JSON text of more than {} bytes" for a
// text over maxTextBytes, "JSON number of more than {} characters" for a
// number over maxNumberChars; all are found before any parse.
BoundedJson gf_parseBoundedJson(std::string_view text, const JsonLimits& limits = kFeedJsonLimits);

} // namespace zelk

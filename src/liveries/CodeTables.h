#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/SharedMutex.h"

namespace zelk {

// FNV-1a over the bytes of a code; transparent so that lookups by view do not
// build a string.
struct Fnv1aHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept;
};

// One interning table: every distinct code text gets a 16-bit index that keeps
// its meaning for the life of the process. Index 0 is always the empty code, so
// a stored 0 means "no code" whatever is interned first.
//
// Safe for concurrent use: lookups share the lock, only a new code takes it
// exclusively. Code texts live in a deque that is only appended to, so a view
// returned by text() stays valid as long as the table exists.
class CodeTable {
public:
    // Indexes are 16-bit: 0 (the empty code) to 65535.
    static constexpr std::size_t kCapacity = 65536;

    // The kind ("airline", "model") names the table in the overflow notice.
    explicit CodeTable(std::string kind);

    CodeTable(const CodeTable&) = delete;
    CodeTable& operator=(const CodeTable&) = delete;

    // The index of the code, appended when new. A full table refuses new codes:
    // the first refusal writes one notice, every refusal answers 0.
    std::uint16_t intern(std::string_view code);

    // The index of a code already in the table.
    std::optional<std::uint16_t> find(std::string_view code) const;

    // The code text of an index; empty for an index outside the table.
    std::string_view text(std::uint16_t index) const;

    // Number of entries, the empty code included.
    std::size_t size() const;

    // Codes refused because the table was full.
    std::size_t refusedCount() const noexcept { return refused_.load(std::memory_order_relaxed); }

private:
    std::string kind_;
    mutable platform::SharedMutex mutex_;
    std::deque<std::string> texts_;
    std::unordered_map<std::string_view, std::uint16_t, Fnv1aHash, std::equal_to<>> indexes_;
    std::atomic<std::size_t> refused_{0};
};

// The two process-wide tables through which the whole program stores airline
// and model codes as indexes.
CodeTable& gf_airlineCodeTable();
CodeTable& gf_modelCodeTable();

// Index to code text for the process-wide tables (empty outside the table). The
// returned view stays valid for the life of the process.
std::string_view gf_airlineCodeText(std::uint16_t index);
std::string_view gf_modelCodeText(std::uint16_t index);

} // namespace zelk

#include "liveries/LiveryRecord.h"

#include <tuple>

namespace zelk {

namespace {

// std::string compares through char_traits<char>, whose order is that of
// unsigned bytes (memcmp), whatever the signedness of char.
auto lf_orderFields(const LiveryRecord& r) noexcept
{
    return std::tie(r.key.airline, r.key.op, r.key.model, r.key.cargo, r.title, r.registration);
}

// The key fields of the order as one number, most significant first.
constexpr std::uint64_t lf_orderKey(const LiveryKey& k) noexcept
{
    return static_cast<std::uint64_t>(k.airline) << 40 | static_cast<std::uint64_t>(k.op) << 24 |
           static_cast<std::uint64_t>(k.model) << 8 | k.cargo;
}

} // namespace

bool compareLiveryRecords(const LiveryRecord& a, const LiveryRecord& b) noexcept
{
    const std::uint64_t ka = lf_orderKey(a.key);
    const std::uint64_t kb = lf_orderKey(b.key);
    if (ka != kb) return ka < kb;
    if (const int c = a.title.compare(b.title); c != 0) return c < 0;
    return a.registration.compare(b.registration) < 0;
}

bool sameLiveryIdentity(const LiveryRecord& a, const LiveryRecord& b) noexcept
{
    return lf_orderFields(a) == lf_orderFields(b);
}

} // namespace zelk

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

} // namespace

bool compareLiveryRecords(const LiveryRecord& a, const LiveryRecord& b) noexcept
{
    return lf_orderFields(a) < lf_orderFields(b);
}

bool sameLiveryIdentity(const LiveryRecord& a, const LiveryRecord& b) noexcept
{
    return lf_orderFields(a) == lf_orderFields(b);
}

} // namespace zelk

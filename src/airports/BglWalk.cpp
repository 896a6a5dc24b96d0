#include "airports/BglWalk.h"

#include <iterator>

#include "airports/BglFormat.h"

namespace zelk {

namespace {

constexpr std::uint64_t kMinRecordSize = 6;
// The smallest record a count can promise: a header rounded up to a word.
constexpr std::uint64_t kMinCountedRecordSize = 8;

class BglWalker {
public:
    explicit BglWalker(std::span<const unsigned char> file) : file_(file) {}

    BglWalkResult run();

private:
    bool walkSection(std::uint64_t entry);
    bool walkSubsection(std::uint64_t descriptor);
    bool walkRecords(std::uint64_t start, std::uint64_t end, std::uint32_t count);
    bool fail(std::uint8_t code, std::uint64_t offset, std::string message)
    {
        result_.error = BglError{code, offset, std::move(message)};
        return false;
    }
    std::uint32_t u32(std::uint64_t offset) const { return *lf_bglReadU32(file_, offset); }
    std::uint64_t length() const { return file_.size(); }

    std::span<const unsigned char> file_;
    BglClaimedRanges tables_;
    BglClaimedRanges blocks_;
    BglWalkResult result_;
};

BglWalkResult BglWalker::run()
{
    if (length() < kBglHeaderSize) {
        fail(0, 0, "BGL file is smaller than its header");
        return std::move(result_);
    }
    if (u32(4) != kBglHeaderSize) {
        fail(1, 4, "Unexpected BGL header size");
        return std::move(result_);
    }
    const std::uint64_t sections = u32(20);
    if (sections * kBglSectionEntrySize > length() - kBglHeaderSize) {
        fail(2, kBglHeaderSize, "BGL section table exceeds the file");
        return std::move(result_);
    }
    for (std::uint64_t i = 0; i < sections; ++i)
        if (!walkSection(kBglHeaderSize + i * kBglSectionEntrySize))
            break;
    return std::move(result_);
}

bool BglWalker::walkSection(std::uint64_t entry)
{
    if (u32(entry) != kBglAirportSectionType)
        return true;
    const std::uint64_t descriptorSize = ((u32(entry + 4) & 0x10000u) | 0x40000u) >> 14;
    const std::uint64_t count = u32(entry + 8);
    const std::uint64_t table = u32(entry + 12);
    const std::uint64_t tableSize = descriptorSize * count;
    if (!lf_bglRangeFits(length(), table, tableSize))
        return fail(3, table, "Airport subsection table exceeds the file");
    switch (lf_bglClaimBlock(tables_, table, tableSize)) {
    case BglClaim::Overlap: return fail(5, table, "Airport subsection tables overlap");
    case BglClaim::Same: return true;
    case BglClaim::New: break;
    }
    for (std::uint64_t j = 0; j < count; ++j)
        if (!walkSubsection(table + j * descriptorSize))
            return false;
    return true;
}

bool BglWalker::walkSubsection(std::uint64_t descriptor)
{
    const std::uint32_t count = u32(descriptor + 4);
    const std::uint64_t data = u32(descriptor + 8);
    const std::uint64_t size = u32(descriptor + 12);
    if (!lf_bglRangeFits(length(), data, size))
        return fail(4, data, "Airport subsection data exceeds the file");
    if (count > size / kMinCountedRecordSize)
        return fail(6, descriptor, "Airport subsection record count cannot fit in its data block");
    switch (lf_bglClaimBlock(blocks_, data, size)) {
    case BglClaim::Overlap: return fail(5, data, "Airport subsection data blocks overlap");
    case BglClaim::Same: return true;
    case BglClaim::New: break;
    }
    return walkRecords(data, data + size, count);
}

bool BglWalker::walkRecords(std::uint64_t pos, std::uint64_t end, std::uint32_t count)
{
    for (std::uint32_t k = 0; k < count; ++k) {
        if (end - pos < kMinRecordSize)
            return fail(7, pos, "Airport section record header exceeds its subsection");
        const std::uint64_t size = u32(pos + 2);
        if (size < kMinRecordSize || size % 4 != 0)
            return fail(8, pos, "Airport section record has an invalid size");
        if (size > end - pos)
            return fail(9, pos, "Airport section record exceeds its subsection");
        result_.records.push_back({*lf_bglReadU16(file_, pos), pos, size});
        pos += size;
    }
    if (pos != end)
        return fail(10, pos, "Airport subsection record count does not consume its complete data block");
    return true;
}

} // namespace

BglWalkResult lf_walkBglAirportSections(std::span<const unsigned char> file) { return BglWalker(file).run(); }

BglClaim lf_bglClaimBlock(BglClaimedRanges& ranges, std::uint64_t offset, std::uint64_t size)
{
    if (size == 0)
        return BglClaim::New;
    const std::pair<std::uint64_t, std::uint64_t> range{offset, offset + size};
    const auto next = ranges.lower_bound(range);
    if (next != ranges.end() && next->first < range.second)
        return *next == range ? BglClaim::Same : BglClaim::Overlap;
    if (next != ranges.begin()) {
        const auto& before = *std::prev(next);
        if (before.second > offset)
            return before == range ? BglClaim::Same : BglClaim::Overlap;
    }
    ranges.insert(range);
    return BglClaim::New;
}

} // namespace zelk

#include "liveries/CodeTables.h"

#include "core/Log.h"

#include <mutex>

#include <fmt/format.h>

namespace zelk {

std::size_t Fnv1aHash::operator()(std::string_view text) const noexcept
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(hash);
}

CodeTable::CodeTable(std::string kind) : kind_(std::move(kind))
{
    texts_.emplace_back();
    indexes_.emplace(std::string_view(texts_.front()), std::uint16_t{0});
}

std::uint16_t CodeTable::intern(std::string_view code)
{
    {
        std::shared_lock lock(mutex_);
        if (const auto it = indexes_.find(code); it != indexes_.end()) return it->second;
    }
    std::unique_lock lock(mutex_);
    // Another thread may have added it between the two locks.
    if (const auto it = indexes_.find(code); it != indexes_.end()) return it->second;
    if (texts_.size() >= kCapacity) {
        lock.unlock();
        if (refused_.fetch_add(1, std::memory_order_relaxed) == 0) {
            gf_writeLogNotice(fmt::format(
                "{} code table is full ({} codes), '{}' and later new codes get index 0", kind_,
                kCapacity - 1, code));
        }
        return 0;
    }
    const auto index = static_cast<std::uint16_t>(texts_.size());
    texts_.emplace_back(code);
    indexes_.emplace(std::string_view(texts_.back()), index);
    return index;
}

std::optional<std::uint16_t> CodeTable::find(std::string_view code) const
{
    std::shared_lock lock(mutex_);
    if (const auto it = indexes_.find(code); it != indexes_.end()) return it->second;
    return std::nullopt;
}

std::string_view CodeTable::text(std::uint16_t index) const
{
    std::shared_lock lock(mutex_);
    if (index >= texts_.size()) return {};
    return texts_[index];
}

std::size_t CodeTable::size() const
{
    std::shared_lock lock(mutex_);
    return texts_.size();
}

CodeTable& gf_airlineCodeTable()
{
    static CodeTable table("airline");
    return table;
}

CodeTable& gf_modelCodeTable()
{
    static CodeTable table("model");
    return table;
}

std::string_view gf_airlineCodeText(std::uint16_t index)
{
    return gf_airlineCodeTable().text(index);
}

std::string_view gf_modelCodeText(std::uint16_t index)
{
    return gf_modelCodeTable().text(index);
}

} // namespace zelk

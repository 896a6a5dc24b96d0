#include "liveries/LiveryScanLists.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/Log.h"

namespace zelk {

namespace {

constexpr std::size_t kFirstSlots = 1024;

std::string_view lf_slotText(const char* text) noexcept
{
    std::uint32_t size = 0;
    std::memcpy(&size, text, sizeof size);
    return {text + sizeof size, size};
}

} // namespace

ScannedTitles::ScannedTitles(ScannedTitles&& other) noexcept
    : memory_(std::move(other.memory_)), slots_(std::move(other.slots_)), size_(std::exchange(other.size_, 0)),
      hasEmpty_(std::exchange(other.hasEmpty_, false))
{
    other.slots_.clear();
}

ScannedTitles& ScannedTitles::operator=(ScannedTitles&& other) noexcept
{
    if (this == &other) return *this;
    memory_ = std::move(other.memory_);
    slots_ = std::move(other.slots_);
    other.slots_.clear();
    size_ = std::exchange(other.size_, 0);
    hasEmpty_ = std::exchange(other.hasEmpty_, false);
    return *this;
}

const ScannedTitles::Slot* ScannedTitles::find(std::string_view title, std::size_t hash) const noexcept
{
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.text == nullptr || (slot.hash == hash && lf_slotText(slot.text) == title)) return &slot;
    }
}

bool ScannedTitles::add(std::string_view title, std::size_t hash)
{
    if (title.empty()) return !std::exchange(hasEmpty_, true);
    if (title.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("title too long");
    if ((size_ + 1) * 2 > slots_.size()) grow(std::max(kFirstSlots, slots_.size() * 2));
    Slot& slot = const_cast<Slot&>(*find(title, hash));
    if (slot.text != nullptr) return false;
    if (!memory_) memory_ = std::make_unique<std::pmr::monotonic_buffer_resource>();
    const auto size = static_cast<std::uint32_t>(title.size());
    auto* bytes = static_cast<char*>(memory_->allocate(sizeof size + title.size(), 1));
    std::memcpy(bytes, &size, sizeof size);
    title.copy(bytes + sizeof size, title.size());
    slot = Slot{hash, bytes};
    ++size_;
    return true;
}

bool ScannedTitles::contains(std::string_view title) const
{
    if (title.empty()) return hasEmpty_;
    const Slot* slot = find(title, hashOf(title));
    return slot != nullptr && slot->text != nullptr;
}

void ScannedTitles::prefetch(std::size_t hash) const noexcept
{
    if (slots_.empty()) return;
#if defined(__GNUC__)
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
#endif
}

void ScannedTitles::reserve(std::size_t count)
{
    const std::size_t wanted = std::bit_ceil(std::max(kFirstSlots, count * 2));
    if (wanted > slots_.size()) grow(wanted);
}

void ScannedTitles::grow(std::size_t slots)
{
    std::vector<Slot> grown(slots);
    const std::size_t mask = slots - 1;
    // Every stored title is known to be unique: each goes to the first free slot.
    for (const Slot& slot : slots_) {
        if (slot.text == nullptr) continue;
        std::size_t at = slot.hash & mask;
        while (grown[at].text != nullptr) at = (at + 1) & mask;
        grown[at] = slot;
    }
    slots_ = std::move(grown);
}

void ScannedTitles::clear() noexcept
{
    std::vector<Slot>().swap(slots_);
    size_ = 0;
    hasEmpty_ = false;
    memory_.reset();
}

void LiveryScanLists::log(std::string text, bool notice)
{
    if (heldLog != nullptr) heldLog->push_back({std::move(text), notice});
    else if (notice) gf_writeLogNotice(text);
    else gf_writeLogLine(text);
}

} // namespace zelk

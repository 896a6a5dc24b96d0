#include "core/SecureBuffer.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <stdexcept>

#include <sodium.h>

namespace zelk {

namespace {
std::atomic<std::uint64_t> g_liveBlocks{0};
} // namespace

std::uint64_t SecureBuffer::liveBlocks() noexcept { return g_liveBlocks.load(); }

void gf_ensureSodiumInitialized()
{
    // sodium_init is itself thread-safe and idempotent; the static only spares
    // the repeated call and keeps the failure sticky.
    static const int result = sodium_init();
    if (result < 0) throw std::runtime_error("libsodium could not be initialised");
}

SecureBuffer::SecureBuffer(std::uint64_t validatedSize)
{
    gf_ensureSodiumInitialized();
    const std::uint64_t allocated = std::max<std::uint64_t>(validatedSize, 1);
    if (allocated > SIZE_MAX) throw std::bad_alloc();
    auto* block = static_cast<std::uint8_t*>(sodium_malloc(static_cast<std::size_t>(allocated)));
    if (block == nullptr) throw std::bad_alloc();
    data_ = block;
    g_liveBlocks.fetch_add(1);
    validatedSize_ = validatedSize;
    allocated_ = allocated;
}

SecureBuffer::~SecureBuffer() { reset(); }

SecureBuffer::SecureBuffer(SecureBuffer&& other) noexcept
    : data_(other.data_), used_(other.used_), validatedSize_(other.validatedSize_), allocated_(other.allocated_)
{
    other.data_ = nullptr;
    other.used_ = other.validatedSize_ = other.allocated_ = 0;
}

SecureBuffer& SecureBuffer::operator=(SecureBuffer&& other) noexcept
{
    if (this != &other) {
        reset();
        data_ = other.data_;
        used_ = other.used_;
        validatedSize_ = other.validatedSize_;
        allocated_ = other.allocated_;
        other.data_ = nullptr;
        other.used_ = other.validatedSize_ = other.allocated_ = 0;
    }
    return *this;
}

void SecureBuffer::reset() noexcept
{
    if (data_ != nullptr) {
        sodium_memzero(data_, static_cast<std::size_t>(allocated_));
        sodium_free(data_);
        g_liveBlocks.fetch_sub(1);
    }
    data_ = nullptr;
    used_ = validatedSize_ = allocated_ = 0;
}

void SecureBuffer::addUsed(std::uint64_t n)
{
    if (n > validatedSize_ - used_) throw std::length_error("SecureBuffer: more data than its validated size");
    used_ += n;
}

std::string_view SecureBuffer::text() const noexcept
{
    if (data_ == nullptr) return {};
    return {reinterpret_cast<const char*>(data_), static_cast<std::size_t>(used_)};
}

} // namespace zelk

#pragma once

#include <cstdint>
#include <string_view>

namespace zelk {

// Decrypted data lives only in libsodium's guarded memory (guard pages, locked
// against swapping) and is wiped before that memory is given back, so a data
// set's plaintext never lingers in freed heap blocks.
class SecureBuffer {
public:
    SecureBuffer() noexcept = default;
    // Allocates max(validatedSize, 1) bytes of guarded memory; throws
    // std::bad_alloc when none is available.
    explicit SecureBuffer(std::uint64_t validatedSize);
    ~SecureBuffer();

    SecureBuffer(SecureBuffer&& other) noexcept;
    SecureBuffer& operator=(SecureBuffer&& other) noexcept;
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;

    // Wipes and frees the block; afterwards every field is 0.
    void reset() noexcept;

    std::uint8_t* data() noexcept { return data_; }
    const std::uint8_t* data() const noexcept { return data_; }
    std::uint64_t used() const noexcept { return used_; }
    std::uint64_t validatedSize() const noexcept { return validatedSize_; }
    std::uint64_t allocated() const noexcept { return allocated_; }
    bool empty() const noexcept { return used_ == 0; }

    // The writer (the decryptor) reports how much of the block it has filled;
    // throws std::length_error beyond the validated size.
    void addUsed(std::uint64_t n);

    // Guarded blocks currently held by any SecureBuffer in the process: lets a
    // test see that a failed decryption gave its partial plaintext back.
    static std::uint64_t liveBlocks() noexcept;

    // The plaintext as text of `used` bytes, for parsing in place.
    std::string_view text() const noexcept;

private:
    std::uint8_t* data_ = nullptr;
    std::uint64_t used_ = 0;
    std::uint64_t validatedSize_ = 0;
    std::uint64_t allocated_ = 0;
};

// libsodium must be initialised once before its memory and crypto calls;
// safe to call from any thread, any number of times. Throws std::runtime_error
// when the library cannot start.
void gf_ensureSodiumInitialized();

} // namespace zelk

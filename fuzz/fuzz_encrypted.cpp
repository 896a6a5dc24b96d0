// The encrypted container itself, under a test key: any bytes either decrypt
// or give the reader's error, never more than the plaintext limit.
#include <array>
#include <sstream>
#include <stdexcept>

#include "FuzzSupport.h"
#include "core/EncryptedFile.h"

using namespace zelk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::array<unsigned char, kDataKeyBytes> key = [] {
        std::array<unsigned char, kDataKeyBytes> k{};
        for (std::size_t i = 0; i < k.size(); ++i) k[i] = static_cast<unsigned char>(i * 7 + 1);
        return k;
    }();
    fuzz::beginInput();
    std::istringstream in(std::string(fuzz::text(data, size)));
    try {
        const SecureBuffer plain = gf_decryptStream(key, in, size, "fuzz.enc", 1 << 20);
        if (plain.used() > (1u << 20)) fuzz::fail("plaintext above its limit");
    } catch (const std::runtime_error&) {
        // The documented refusal.
    }
    return 0;
}

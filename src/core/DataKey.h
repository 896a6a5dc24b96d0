#pragma once

#include <cstddef>
#include <span>

namespace zelk {

// Assembles the data-set key into `out`, which the caller owns and wipes with
// sodium_memzero as soon as it is done with it. The key is never stored
// whole in the program: it is the XOR of two stored tables.
void gf_assembleDataKey(std::span<unsigned char, 32> out) noexcept;

} // namespace zelk

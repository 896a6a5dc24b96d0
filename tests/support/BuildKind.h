#pragma once

namespace zelk::test {

// Whether this test program is built with a sanitizer (ZELK_SANITIZE or
// ZELK_TSAN), which makes it several times slower. A heavy scenario grid runs
// its whole grid in the plain build and a fixed part of it here, so what a
// sanitizer checks is the same code on fewer cases; the machine's speed never
// decides what runs.
#if defined(ZELK_SANITIZED_BUILD)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

} // namespace zelk::test

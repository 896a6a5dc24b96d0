#pragma once

#include <chrono>
#include <thread>

namespace zelk::test {

// The limit ctest gives a test (tests/CMakeLists.txt), twice as long under a
// sanitizer; a stand-in a test starts lives no longer.
#if defined(ZELK_TEST_TIMEOUT_SECONDS)
inline constexpr std::chrono::seconds kTestLimit{ZELK_TEST_TIMEOUT_SECONDS};
#else
inline constexpr std::chrono::seconds kTestLimit{300};
#endif

// How long a test waits for something that is bound to happen (a reply
// taken, a thread or a child that ends, a line in a log): a third of its
// limit. A slow machine (two cores, a sanitizer, another test run beside it)
// then never fails a test that is not about time, and an event that never
// comes is still reported before ctest kills the test. A wait that ends early
// costs nothing; only a failing test waits this long.
inline constexpr std::chrono::seconds kEventWait = kTestLimit / 3;

// Polls cond every 10 ms until it holds or limit passed; whether it held.
template <typename Cond>
bool eventually(Cond cond, std::chrono::milliseconds limit = kEventWait)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace zelk::test

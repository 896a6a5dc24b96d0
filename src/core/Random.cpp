#include "core/Random.h"

#include "core/Settings.h"

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace zelk {
namespace {

// The low half of 64-bit FNV-1a over the four bytes of a 32-bit id, lowest byte first.
std::uint32_t lf_threadIdHash()
{
    const auto id = static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    std::uint32_t hash = 0x84222325u;
    for (int i = 0; i < 4; ++i) {
        hash ^= (id >> (8 * i)) & 0xFFu;
        hash *= 0x1B3u;
    }
    return hash;
}

bool lf_randomAllowed() { return gf_settings()->RANDOM; }

} // namespace

std::mt19937 gf_makeRandomEngine()
{
    std::random_device device;
    const auto nanos = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
    std::seed_seq seeds{static_cast<std::uint32_t>(device()), static_cast<std::uint32_t>(nanos & 0xFFFFFFFFu),
                        static_cast<std::uint32_t>(nanos >> 32), lf_threadIdHash()};
    return std::mt19937(seeds);
}

std::mt19937& gf_threadRandomEngine()
{
    thread_local std::mt19937 engine = gf_makeRandomEngine();
    return engine;
}

std::uint64_t gf_randomIndex(std::uint64_t n)
{
    if (n < 2 || !lf_randomAllowed())
        return 0;
    std::uniform_int_distribution<std::uint64_t> draw(0, n - 1);
    return draw(gf_threadRandomEngine());
}

void gf_shuffleIfRandom(std::vector<std::uint16_t>& values)
{
    if (values.size() < 2 || !lf_randomAllowed())
        return;
    std::mt19937& engine = gf_threadRandomEngine();
    for (std::size_t i = 1; i < values.size(); ++i) {
        std::uniform_int_distribution<std::size_t> draw(0, i);
        const std::size_t j = draw(engine);
        if (j != i)
            std::swap(values[i], values[j]);
    }
}

double gf_jitterByPercent(double value, double percent)
{
    const bool odd = (gf_threadRandomEngine()() & 1u) != 0;
    const double delta = percent > 0.0 ? value * percent / 100.0 : 0.0;
    return odd ? value - delta : value + delta;
}

} // namespace zelk

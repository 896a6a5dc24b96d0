#include "gui/CloseSignals.h"

#include <atomic>
#include <csignal>
#include <string>

#include <fmt/format.h>

namespace zelk {

namespace {

// Written from the signal handler: must be lock-free.
std::atomic<int> g_closeSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void lf_onCloseSignal(int signal) { g_closeSignal.store(signal); }

} // namespace

void gf_installCloseSignals()
{
    std::signal(SIGINT, lf_onCloseSignal);
    std::signal(SIGTERM, lf_onCloseSignal);
}

int gf_takeCloseSignal() { return g_closeSignal.exchange(0); }

void gf_raiseCloseSignal(int signal) { g_closeSignal.store(signal); }

std::string gf_closeSignalName(int signal)
{
    if (signal == SIGINT) return "SIGINT";
    if (signal == SIGTERM) return "SIGTERM";
    return fmt::format("signal {}", signal);
}

} // namespace zelk

#include "core/RunState.h"

#include <atomic>

namespace zelk {

namespace {
std::atomic<bool> g_production{false};
std::atomic<int> g_exitCode{0};
std::atomic<bool> g_restart{false};
std::atomic<bool> g_dbaseReadAttempted{false};
std::atomic<bool> g_runStepFailed{false};
} // namespace

bool gf_isProductionRun() { return g_production.load(); }
void gf_setProductionRun(bool production) { g_production.store(production); }
int gf_exitCode() { return g_exitCode.load(); }
void gf_setExitCode(int code) { g_exitCode.store(code); }
bool gf_isRestartRun() { return g_restart.load(); }
void gf_setRestartFlag(bool restart) { g_restart.store(restart); }
bool gf_isDbaseReadAttempted() { return g_dbaseReadAttempted.load(); }
void gf_setDbaseReadAttempted(bool attempted) { g_dbaseReadAttempted.store(attempted); }
bool gf_runStepFailed() { return g_runStepFailed.load(); }
void gf_setRunStepFailed(bool failed) { g_runStepFailed.store(failed); }

} // namespace zelk

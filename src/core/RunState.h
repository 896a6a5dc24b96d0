#pragma once

namespace zelk {

// Process-wide state of the application control, shared by the start-up, the
// run worker, the close-down and the window thread; every flag is atomic.

// "--production" was given: the run reads the data files, does its job and ends.
bool gf_isProductionRun();
void gf_setProductionRun(bool production);

// The process exit code that MSG_EXIT hands to the end of the message loop.
int gf_exitCode();
void gf_setExitCode(int code);

// Set by a close-down that prepares a restart; the next run then skips the
// update check (and the data sets read once per process).
bool gf_isRestartRun();
void gf_setRestartFlag(bool restart);

// The aircraft database is read only by the first run of the process.
bool gf_isDbaseReadAttempted();
void gf_setDbaseReadAttempted(bool attempted);

// The run ended because a start-up step failed or is not built into this
// program; the end of the program then reports a failure.
bool gf_runStepFailed();
void gf_setRunStepFailed(bool failed);

} // namespace zelk

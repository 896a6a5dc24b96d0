#pragma once

// Crash tests that fork a child and kill it (POSIX only).
#ifndef _WIN32

#include <chrono>
#include <functional>
#include <optional>
#include <random>

namespace zelk::test {

// Marks a point of the child's work where a kill may land.
using KillStep = std::function<void()>;

// Where a kill lands: at the child's at-th step, counted from 1 (one past the
// body's last step is the body's end).
struct KillMoment {
    int at = 1;
    // Nothing: the child is killed while it waits at that step, so what the
    // step leaves behind is known. A time: the child is let go on from the
    // step and killed that much later, which cuts the work between two steps.
    std::optional<std::chrono::microseconds> later;
};

// Kill number kill of a series over a body of steps steps: the steps in turn
// (its end included), every other kill right at its step, the rest a random
// time up to twice stepTime later. The moments follow the child's own
// progress, not the clock: a busy machine may run the child many times slower
// than the test measured stepTime, and every step is still cut.
KillMoment killMomentOf(int kill, int steps, std::chrono::microseconds stepTime, std::mt19937& random);

// Forks a child that runs body(step) (and then waits to be killed), kills it
// with SIGKILL at moment and reaps it. False when the child ended or died
// before it reached the step.
bool killAtStep(const KillMoment& moment, const std::function<void(const KillStep& step)>& body);

} // namespace zelk::test

#endif

#include "support/KillAtStep.h"

#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace zelk::test {

KillMoment killMomentOf(int kill, int steps, std::chrono::microseconds stepTime, std::mt19937& random)
{
    KillMoment moment;
    moment.at = 1 + kill / 2 % (steps + 1);
    if (kill % 2 != 0) {
        std::uniform_int_distribution<long long> later(0, 2 * stepTime.count());
        moment.later = std::chrono::microseconds(later(random));
    }
    return moment;
}

bool killAtStep(const KillMoment& moment, const std::function<void(const KillStep& step)>& body)
{
    // The child tells of its step on one pipe and waits on the other.
    int reached[2];
    int goOn[2];
    if (::pipe(reached) != 0) return false;
    if (::pipe(goOn) != 0) {
        ::close(reached[0]);
        ::close(reached[1]);
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(reached[0]);
        ::close(goOn[1]);
        int step = 0;
        const KillStep mark = [&] {
            if (++step != moment.at) return;
            char c = 's';
            if (::write(reached[1], &c, 1) != 1 || ::read(goOn[0], &c, 1) != 1) ::_exit(3);
        };
        body(mark);
        mark();
        for (;;) ::pause();
    }
    ::close(reached[1]);
    ::close(goOn[0]);
    bool arrived = false;
    if (child > 0) {
        char c = 0;
        // A child that ends or dies first closes its end: the read sees no byte.
        arrived = ::read(reached[0], &c, 1) == 1;
        if (arrived && moment.later) {
            arrived = ::write(goOn[1], &c, 1) == 1;
            std::this_thread::sleep_for(*moment.later);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    ::close(reached[0]);
    ::close(goOn[1]);
    return arrived;
}

} // namespace zelk::test

#endif

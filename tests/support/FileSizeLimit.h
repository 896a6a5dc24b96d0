#pragma once

#ifndef _WIN32

#include <csignal>

#include <sys/resource.h>

namespace zelk::test {

// While it lives, no file of this process grows past the given size: a write
// beyond it fails (EFBIG) as on a full disk, and the signal that would end the
// process is ignored. Keep its scope to the one call under test.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        active_ = ::getrlimit(RLIMIT_FSIZE, &previous_) == 0;
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        active_ = active_ && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (active_) ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return active_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

} // namespace zelk::test

#endif

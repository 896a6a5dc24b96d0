#pragma once

// A reader-writer lock for data read by many threads and written by few; use
// it with std::shared_lock and std::unique_lock like std::shared_mutex.
//
// Portable code takes this instead of std::shared_mutex: in the mingw-w64
// build std::shared_mutex sits on winpthreads' rwlock, which can deadlock
// when readers and writers meet. Windows gets the system's slim reader-writer
// lock instead.

#ifdef _WIN32

namespace zelk::platform {

class SharedMutex {
public:
    SharedMutex() noexcept = default;
    ~SharedMutex() = default;
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    void lock() noexcept;
    bool try_lock() noexcept;
    void unlock() noexcept;

    void lock_shared() noexcept;
    bool try_lock_shared() noexcept;
    void unlock_shared() noexcept;

private:
    // The state of an SRWLOCK: one pointer-sized word, zero when free.
    void* state_ = nullptr;
};

} // namespace zelk::platform

#else

#include <shared_mutex>

namespace zelk::platform {

using SharedMutex = std::shared_mutex;

} // namespace zelk::platform

#endif

#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace zelk {

// A shared pointer that some threads replace while others read it. A reader
// gets its own reference to the object published at that moment and keeps it
// for as long as it uses it, so a replacement never pulls an object from under
// a reader. A plain lock guards the pointer for the few instructions of a copy
// or a swap: uncontended it costs about as much as an atomic shared pointer,
// and ThreadSanitizer follows it (it does not see through libstdc++ 12's
// atomic shared pointer and reports its readers and writers as racing). A
// replaced object is released after the lock is let go, so its destructor may
// itself read or replace this publication.
template <typename T>
class Published {
public:
    Published() = default;
    explicit Published(std::shared_ptr<T> initial) : value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    std::shared_ptr<T> load() const
    {
        const std::scoped_lock guard(lock_);
        return value_;
    }

    void store(std::shared_ptr<T> next) { exchange(std::move(next)); }

    // Returns what was published before.
    std::shared_ptr<T> exchange(std::shared_ptr<T> next)
    {
        {
            const std::scoped_lock guard(lock_);
            value_.swap(next);
        }
        return next;
    }

    // Publishes `desired` if `expected` still names the published object;
    // otherwise `expected` is set to the published object.
    bool compare_exchange_strong(std::shared_ptr<T>& expected, std::shared_ptr<T> desired)
    {
        std::shared_ptr<T> released;
        const std::scoped_lock guard(lock_);
        if (value_ == expected) {
            released = std::exchange(value_, std::move(desired));
            return true;
        }
        released = std::exchange(expected, value_);
        return false;
    }

private:
    mutable std::mutex lock_;
    std::shared_ptr<T> value_;
};

} // namespace zelk

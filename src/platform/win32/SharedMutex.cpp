#include "platform/SharedMutex.h"

#include <windows.h>

namespace zelk::platform {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*), "SRWLOCK is one pointer-sized word");

PSRWLOCK lf_srw(void** state) noexcept { return reinterpret_cast<PSRWLOCK>(state); }

} // namespace

void SharedMutex::lock() noexcept { ::AcquireSRWLockExclusive(lf_srw(&state_)); }

bool SharedMutex::try_lock() noexcept { return ::TryAcquireSRWLockExclusive(lf_srw(&state_)) != 0; }

void SharedMutex::unlock() noexcept { ::ReleaseSRWLockExclusive(lf_srw(&state_)); }

void SharedMutex::lock_shared() noexcept { ::AcquireSRWLockShared(lf_srw(&state_)); }

bool SharedMutex::try_lock_shared() noexcept { return ::TryAcquireSRWLockShared(lf_srw(&state_)) != 0; }

void SharedMutex::unlock_shared() noexcept { ::ReleaseSRWLockShared(lf_srw(&state_)); }

} // namespace zelk::platform

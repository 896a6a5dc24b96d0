#pragma once

namespace zelk::platform {

// Has blocks of a megabyte and more given back to the system as soon as they
// are freed, on any thread. The allocator keeps freed memory for later use:
// after a reply of tens of megabytes its room would stay resident for the
// rest of the run, which the program's next replies, some kilobytes each,
// never need. Call once at start, before any thread is started: glibc's
// mallopt is not safe while other threads allocate.
void fixHeapThresholds() noexcept;

// Hands the free pages of the C heap back to the system. Any thread.
void releaseFreeMemory() noexcept;

} // namespace zelk::platform

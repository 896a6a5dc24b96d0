#pragma once

namespace zelk::platform {

// Hands the free pages of the C heap back to the system, and from the first
// call on has blocks of a megabyte and more given back as soon as they are
// freed. The allocator keeps freed memory for later use: after a reply of
// tens of megabytes its room would stay resident for the rest of the run,
// which the program's next replies, some kilobytes each, never need.
void releaseFreeMemory() noexcept;

} // namespace zelk::platform

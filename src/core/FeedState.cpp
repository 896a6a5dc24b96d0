#include "core/FeedState.h"

namespace zelk {

std::atomic<std::int64_t> rtAppTrafficTime{0};
std::atomic<std::int64_t> rtApiTrafficTime{0};
std::atomic<bool> isProfessionalFeed{false};
std::atomic<bool> timeShiftActive{false};
std::atomic<bool> feedConnected{false};

} // namespace zelk

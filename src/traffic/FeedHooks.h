#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "traffic/ParkedTraffic.h"

namespace zelk {

using ParkedListBody = std::function<void(std::vector<ParkedTrafficRecord>& list)>;

// What the traffic core needs of one feed reader. Unset members stand for a
// reader that is not built into the program: they do nothing and give no list.
struct FeedReaderHooks {
    // Under the reader's id lock: both seen-id sets emptied and collection switched on.
    std::function<void()> restartIdCollection;
    // Runs body on the reader's parked list under its parked-list lock, when
    // the reader has a list to use (the app: its end marker arrived and the
    // list is not empty; the web API: a fresh list was fetched). False when not.
    std::function<bool(const ParkedListBody& body)> withParkedList;
};

// The feed readers of both sources and the parking that places their parked
// traffic; the feed and the parking each fill their own members.
struct FeedHooks {
    FeedReaderHooks app;    // the local RealTraffic app (RT App)
    FeedReaderHooks webApi; // the web API (RT Direct)
    // Parking: puts the aircraft of a refreshed list on the stands, at most
    // count of them; returns how many it queued.
    std::function<std::size_t(std::vector<ParkedTrafficRecord>& list, std::uint32_t count)> placeParkedTraffic;
};

void gf_updateFeedHooks(const std::function<void(FeedHooks&)>& change);
// Never null.
std::shared_ptr<const FeedHooks> gf_feedHooks();

// Restarts the id collection of the active source's reader (its seen-id sets
// emptied, collection on); nothing when that reader is not installed.
void gf_clearFeedRecordTables();

// Runs body on the active source's parked list, refreshed (gf_refreshParkedList),
// under the reader's lock. False, without calling body, when there is no list.
bool gf_withFeedParkedList(const ParkedListBody& body);

// Refreshes the active reader's list and, when parking uses only the service's
// parked traffic (RT_PARKTRAFFIC_ONLY), hands it to the parking with count.
// Returns how many aircraft the parking queued.
std::size_t gf_syncParkedList(std::uint32_t count);

} // namespace zelk

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/EncryptedFile.h"
#include "core/IcaoCode.h"
#include "simlink/AirportRecord.h"

namespace zelk {

struct PanelFacts;

// The aircraft the user chose in AIRCRAFT_SELECTOR, as the traffic engine reads it.
struct BlockedEntry {
    std::string callsign;
    std::string registration;
    std::uint32_t hexId = 0;
};

// What the window's commands and panel need of the components above the
// window (airports, traffic, feed, the main loop); app installs them. An
// unset member is skipped, or gives the neutral answer said here.
struct WindowHooks {
    // Parking at the park airport: active, the week of its file and the
    // stand reserved at the user's airport (left alone when unset).
    std::function<void(PanelFacts&)> addParkingFacts;
    std::function<bool()> parkingActive; // false when unset

    // The selector text of an aircraft: four comma-separated fields; nothing when it does not parse.
    std::function<std::optional<BlockedEntry>(std::string_view)> parseBlockedEntry;

    // The airports registry; nothing when unset.
    std::function<std::optional<AirportRecord>(const IcaoCode&)> findAirport;
    // The stand names of an airport's file; may download, so never called on the window thread.
    std::function<ValueOrError<std::vector<std::string>>(const IcaoCode&)> readStands;
    std::function<std::optional<std::string>(const IcaoCode&)> parkAirportStandOf;
    std::function<void(const IcaoCode&, double latitude, double longitude)> setCurrentParkAirport;
    // The user's stand at a listed park airport; false when the list holds no such airport.
    std::function<bool(const IcaoCode&, const std::string& stand)> setParkAirportStand;

    // The feed: the app's parked traffic now, its TCP server closed, both
    // readers' time shift in minutes, and whether the active reader had its first traffic.
    std::function<void()> requestAppParkedTraffic;
    std::function<void()> closeAppServer;
    std::function<void(std::int32_t minutes)> setReadersTimeShift;
    std::function<bool()> firstTrafficArrived;
    // Why no traffic came when the active source knows (nothing: no reason known).
    std::function<std::optional<std::string>()> noTrafficReason;

    // The traffic radius: automatic by height, or RANGE (the RANGE list enabled only when manual).
    std::function<void()> applyRangeSetting;
};

void gf_updateWindowHooks(const std::function<void(WindowHooks&)>& change);
// Never null.
std::shared_ptr<const WindowHooks> gf_windowHooks();

} // namespace zelk

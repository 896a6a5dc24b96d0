#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "simlink/SimCommands.h"

namespace zelk {

// The command queues from the traffic engine to the SimClient thread. One mutex
// guards all of them: whoever appends holds it, and the frame handler takes them
// all at once under it and sends their contents after releasing it.
struct SimQueues {
    std::vector<SimRequest> requests;
    std::vector<AiClientEvent> clientEvents;
    std::vector<FlightPlanCommand> flightPlans;
    std::vector<AiCreateCommand> creates;
    std::vector<std::uint32_t> removals;
    std::vector<ReverseThrustCommand> reverseThrust;
    // Parked objects to be reported like live ones from the next frame on.
    std::vector<std::uint32_t> parkedReleases;

    bool empty() const noexcept;
    // Empties every queue, keeping the storage.
    void clear() noexcept;
    void reserveDefaults();
};

std::mutex& gf_simQueueMutex();
// The queues themselves; only while holding gf_simQueueMutex().
SimQueues& gf_simQueues();

// Frame handler: swaps every queue with the (emptied) ones in spare, under the
// mutex, so both sides keep their storage and the lock is held for a swap only.
void gf_takeSimQueues(SimQueues& spare);
// A copy of the queues (tests and diagnostics).
SimQueues gf_simQueuesCopy();
// Empties the queues under the mutex; with reserve, also reserves their sizes.
void gf_clearSimQueues(bool reserve);

// Appends, each under the mutex. All throw std::system_error only when the mutex
// cannot be taken.
void gf_queueSimRequest(SimRequest request);
void gf_queueClientEvent(const AiClientEvent& event);
void gf_queueFlightPlan(FlightPlanCommand command);
void gf_queueParkedRelease(std::uint32_t objectId);
void gf_requestAiStaticCgAndPitch(std::uint32_t objectId);
void gf_requestAiInitialPose(std::uint32_t objectId);
void gf_queueAiCreate(const AiCreateCommand& command);
// Also forgets the object's poses, so no frame moves it any more.
void gf_queueAiRemove(std::uint32_t objectId);
void gf_queueEngineAutoStart(std::uint32_t objectId);
void gf_queueEngineAutoShutdown(std::uint32_t objectId);
void gf_queueNavLights(std::uint32_t objectId, std::uint32_t value);
// Seven light events under one holding of the mutex, the values in the order
// nav, beacon, landing, taxi, strobes, logo, cabin.
void gf_queueAiLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& values);
void gf_queueReverseThrust(std::uint32_t objectId, bool active, bool reverse);

// Light values in the order of gf_queueAiLights.
enum LightSlot : std::size_t { kLightNav, kLightBeacon, kLightLanding, kLightTaxi, kLightStrobes, kLightLogo, kLightCabin };

} // namespace zelk

#include "simlink/SimQueues.h"

#include <utility>

#include "simlink/PoseTable.h"

namespace zelk {
namespace {

SimQueues& lf_queues()
{
    static SimQueues queues;
    return queues;
}

} // namespace

bool SimQueues::empty() const noexcept
{
    return requests.empty() && clientEvents.empty() && flightPlans.empty() && creates.empty() &&
           removals.empty() && reverseThrust.empty() && parkedReleases.empty();
}

void SimQueues::clear() noexcept
{
    requests.clear();
    clientEvents.clear();
    flightPlans.clear();
    creates.clear();
    removals.clear();
    reverseThrust.clear();
    parkedReleases.clear();
}

void SimQueues::reserveDefaults()
{
    clientEvents.reserve(512);
    creates.reserve(256);
    removals.reserve(256);
    requests.reserve(64);
    reverseThrust.reserve(128);
    flightPlans.reserve(64);
    parkedReleases.reserve(64);
}

std::mutex& gf_simQueueMutex()
{
    static std::mutex mutex;
    return mutex;
}

SimQueues& gf_simQueues() { return lf_queues(); }

void gf_takeSimQueues(SimQueues& spare)
{
    spare.clear();
    std::lock_guard lock(gf_simQueueMutex());
    auto& q = lf_queues();
    std::swap(q.requests, spare.requests);
    std::swap(q.clientEvents, spare.clientEvents);
    std::swap(q.flightPlans, spare.flightPlans);
    std::swap(q.creates, spare.creates);
    std::swap(q.removals, spare.removals);
    std::swap(q.reverseThrust, spare.reverseThrust);
    std::swap(q.parkedReleases, spare.parkedReleases);
}

SimQueues gf_simQueuesCopy()
{
    std::lock_guard lock(gf_simQueueMutex());
    return lf_queues();
}

void gf_clearSimQueues(bool reserve)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().clear();
    if (reserve)
        lf_queues().reserveDefaults();
}

void gf_queueSimRequest(SimRequest request)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().requests.push_back(request);
}

void gf_queueClientEvent(const AiClientEvent& event)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().clientEvents.push_back(event);
}

void gf_queueFlightPlan(FlightPlanCommand command)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().flightPlans.push_back(std::move(command));
}

void gf_queueParkedRelease(std::uint32_t objectId)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().parkedReleases.push_back(objectId);
}

void gf_requestAiStaticCgAndPitch(std::uint32_t objectId)
{
    gf_queueSimRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::StaticCgPitch), objectId});
}

void gf_requestAiInitialPose(std::uint32_t objectId)
{
    gf_queueSimRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::InitialPose), objectId});
}

void gf_queueAiCreate(const AiCreateCommand& command)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().creates.push_back(command);
}

void gf_queueAiRemove(std::uint32_t objectId)
{
    gf_poseTable().erase(objectId);
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().removals.push_back(objectId);
}

void gf_queueEngineAutoStart(std::uint32_t objectId)
{
    gf_queueClientEvent(AiClientEvent{objectId, ENGINE_AUTO_START, 0});
}

void gf_queueEngineAutoShutdown(std::uint32_t objectId)
{
    gf_queueClientEvent(AiClientEvent{objectId, ENGINE_AUTO_SHUTDOWN, 0});
}

void gf_queueNavLights(std::uint32_t objectId, std::uint32_t value)
{
    gf_queueClientEvent(AiClientEvent{objectId, NAV_LIGHTS_SET, value});
}

void gf_queueAiLights(std::uint32_t objectId, const std::array<std::uint32_t, 7>& values)
{
    static constexpr std::array<std::uint32_t, 7> kEvents{NAV_LIGHTS_SET,     BEACON_LIGHTS_SET, LANDING_LIGHTS_SET,
                                                          TAXI_LIGHTS_SET,    STROBES_SET,       LOGO_LIGHTS_SET,
                                                          CABIN_LIGHTS_SET};
    std::lock_guard lock(gf_simQueueMutex());
    auto& events = lf_queues().clientEvents;
    for (std::size_t i = 0; i < kEvents.size(); ++i)
        events.push_back(AiClientEvent{objectId, kEvents[i], values[i]});
}

void gf_queueReverseThrust(std::uint32_t objectId, bool active, bool reverse)
{
    std::lock_guard lock(gf_simQueueMutex());
    lf_queues().reverseThrust.push_back(
        ReverseThrustCommand{objectId, static_cast<std::uint8_t>(active), static_cast<std::uint8_t>(reverse)});
}

} // namespace zelk

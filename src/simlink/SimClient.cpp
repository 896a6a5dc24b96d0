#include "simlink/SimClient.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "platform/TimerResolution.h"
#include "simlink/FakeSimPort.h"
#include "simlink/SimObjectResultQueue.h"
#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

constexpr double kMaxReportedHeightFt = 2500.0;
constexpr std::uint32_t kSimErrorRestartDelay = 9;
constexpr std::chrono::milliseconds kStopPollSlice{50};

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::mutex g_hooksMutex;
SimLinkHooks g_hooks;
SimPortFactory g_factory;
std::atomic<SimProduct> g_connected{SimProduct::None};
std::atomic<bool> g_simSwitchFlag{false};
std::mutex g_tallyMutex;
SimLinkTally g_tally;

template <class F>
void lf_tally(F&& change)
{
    std::lock_guard lock(g_tallyMutex);
    change(g_tally);
}

SimLinkHooks lf_hooks()
{
    std::lock_guard lock(g_hooksMutex);
    return g_hooks;
}

void lf_showMessage(const std::string& text)
{
    const auto hooks = lf_hooks();
    if (hooks.showMessage)
        hooks.showMessage(text);
    else
        gf_writeLogNotice(text);
}

std::uint32_t lf_selectedYear()
{
    return gf_programMode()->simulator == kSimulatorMsfs2020 ? 20 : 24;
}

std::string_view lf_simulatorText(std::uint32_t simulator)
{
    return simulator == kSimulatorMsfs2020 ? "MSFS 2020" : "MSFS 2024";
}

void lf_post(std::uint32_t objectId, std::uint32_t hexId, SimResultKind kind, std::initializer_list<double> payload = {})
{
    SimObjectResult r;
    r.objectId = objectId;
    r.hexId = hexId;
    r.kind = kind;
    std::copy(payload.begin(), payload.end(), r.payload.begin());
    gf_postSimObjectResult(r);
}

} // namespace

void gf_setSimLinkHooks(SimLinkHooks hooks)
{
    std::lock_guard lock(g_hooksMutex);
    g_hooks = std::move(hooks);
}

void gf_showSimLinkMessage(const std::string& text) { lf_showMessage(text); }

void gf_notifySimRunState(std::uint32_t state)
{
    const auto hooks = lf_hooks();
    if (hooks.runStateChanged)
        hooks.runStateChanged(state);
}

void gf_setSimPortFactory(SimPortFactory factory)
{
    std::lock_guard lock(g_hooksMutex);
    g_factory = std::move(factory);
}

std::unique_ptr<SimPort> gf_makeSimPort()
{
    SimPortFactory factory;
    {
        std::lock_guard lock(g_hooksMutex);
        factory = g_factory;
    }
    return factory ? factory() : nullptr;
}

SimProduct gf_connectedSimulator() noexcept { return g_connected.load(); }

void gf_setSimSwitchFlag() noexcept { g_simSwitchFlag.store(true); }
bool gf_simSwitchFlag() noexcept { return g_simSwitchFlag.load(); }
void gf_clearSimSwitchFlag() noexcept { g_simSwitchFlag.store(false); }

SimLinkTally gf_simLinkTally()
{
    std::lock_guard lock(g_tallyMutex);
    return g_tally;
}

void gf_resetSimLinkTally()
{
    std::lock_guard lock(g_tallyMutex);
    g_tally = {};
}

std::string gf_objectIdText(std::uint32_t objectId, bool msfs2020)
{
    return msfs2020 ? fmt::format("{}", objectId) : fmt::format("{:x}", objectId);
}

std::string gf_formatObjectId(std::uint32_t objectId) { return gf_objectIdText(objectId, gf_isMsfs2020()); }

// ---- SimClient ---------------------------------------------------------------

SimClient::SimClient(SimPort& port, SimClientTiming timing) : port_(port), timing_(std::move(timing))
{
    if (!timing_.sleep)
        timing_.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    if (!timing_.now)
        timing_.now = [] { return PoseTable::Clock::now(); };
    if (!timing_.raiseTimerResolution)
        timing_.raiseTimerResolution = [] { return std::make_shared<platform::TimerResolution>(1); };
    work_.reserveDefaults();
    poses_.reserve(512);
    events_.reserve(64);
}

PoseTable::Clock::time_point SimClient::now() const { return timing_.now(); }

void SimClient::sleepFor(std::chrono::milliseconds duration, const std::stop_token& stop)
{
    while (duration.count() > 0 && !stop.stop_requested()) {
        const auto slice = std::min(duration, kStopPollSlice);
        timing_.sleep(slice);
        duration -= slice;
    }
}

void SimClient::run(std::stop_token stop)
{
    // Without it a 1 ms dispatch sleep lasts a whole system tick (15.6 ms on Windows).
    const std::shared_ptr<void> timerResolution = timing_.raiseTimerResolution();
    gf_writeLogLine(fmt::format("Waiting for MSFS 20{} ...", lf_selectedYear()));
    while (!stop.stop_requested()) {
        if (gaveUp_) {
            sleepFor(timing_.connectRetry, stop);
            continue;
        }
        if (!connected_) {
            if (!connect())
                sleepFor(timing_.connectRetry, stop);
            continue;
        }
        dispatchOnce();
        timing_.sleep(timing_.dispatchInterval);
    }
    shutdown();
}

bool SimClient::connect()
{
    const SimProduct product = port_.open(kSimClientName);
    if (product == SimProduct::None)
        return false;
    const std::uint32_t selected = gf_programMode()->simulator;
    if (static_cast<std::uint32_t>(product) != selected) {
        if (gf_simSwitchFlag()) {
            // The user's own choice: wait for the chosen simulator to come.
            port_.close();
            return false;
        }
        gf_writeLogLine(fmt::format("MSFS and {} do not match, restarting ...", lf_simulatorText(selected)));
        port_.close();
        gaveUp_ = true;
        const auto hooks = lf_hooks();
        if (hooks.switchSimulator)
            hooks.switchSimulator();
        return false;
    }
    if (const PortResult hr = port_.setUp(); hr != kPortOk) {
        gf_writeLogLine(fmt::format("SimConnect set-up failed; hr=0x{:08X}", hr));
        port_.close();
        return false;
    }
    connected_ = true;
    product_ = product;
    g_connected.store(product);
    gf_clearSimSwitchFlag();
    gf_writeLogLine(fmt::format("Connected to {}", lf_simulatorText(selected)));
    if (const auto hooks = lf_hooks(); hooks.simulatorConnected) hooks.simulatorConnected(port_.simulatorText());
    gf_setSimRunState(kSimConnected);
    // The once-a-second report drives the worker's slow jobs for the whole connection.
    sendRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::UserOnGround), 0});
    return connected_;
}

bool SimClient::dispatchOnce()
{
    if (!connected_)
        return false;
    events_.clear();
    if (const PortResult hr = port_.dispatch(events_); hr != kPortOk) {
        onDispatchFailed(hr);
        return false;
    }
    for (auto& event : events_) {
        handle(event);
        if (!connected_)
            break;
    }
    return true;
}

void SimClient::handle(SimEvent& event)
{
    std::visit(
        Overloaded{
            [this](sim_event::Frame&) { onFrame(); },
            [](sim_event::UserOnGround& e) { gf_storeUserOnGround(e.onGround); },
            [](sim_event::SimStart&) {
                if (gf_simRunState() != kSimError)
                    gf_setSimRunState(kSimRunning);
            },
            [](sim_event::SimStop&) {
                if (gf_simRunState() != kSimError)
                    gf_setSimRunState(kSimConnected);
            },
            [](sim_event::FlightLoaded& e) {
                gf_writeLogLine(fmt::format("Flight loaded: {}", e.file));
                gf_requestNewFlightRestart();
            },
            [this](sim_event::Quit&) { onQuit(); },
            [](sim_event::UserTitle& e) { gf_storeUserTitle(e.title); },
            [](sim_event::UserModel& e) {
                const bool known = gf_storeUserModel(e.model);
                if (const auto hooks = lf_hooks(); hooks.userWingspanKnown) hooks.userWingspanKnown(known);
            },
            [](sim_event::UserPosition& e) {
                if (gf_storeUserAcPosition(e.position)) {
                    gf_writeLogLine("Teleport");
                    gf_requestNewFlightRestart();
                }
            },
            [this](sim_event::AiCreated& e) { onCreated(e.requestId, e.objectId); },
            [this](sim_event::AiCreateRefused& e) { onCreateRefused(e.requestId, e.code); },
            [this](sim_event::ObjectRemoved& e) { onRemoved(e.objectId); },
            [this](sim_event::AiInRange& e) {
                for (const auto& a : e.aircraft) {
                    if (a.atcId.empty() || a.isUser || parked_.contains(a.objectId) ||
                        !(a.heightAboveGroundFt <= kMaxReportedHeightFt))
                        continue;
                    lf_post(a.objectId, a.onGround ? 1 : 0, SimResultKind::AiPosition,
                            {a.groundAltitudeFt, a.heightAboveGroundFt});
                }
            },
            [](sim_event::StaticCgPitch& e) {
                lf_post(e.objectId, 0, SimResultKind::StaticCgPitch, {e.cgHeightFt, e.pitchRad});
            },
            [](sim_event::InitialPose& e) {
                const auto& p = e.pose;
                lf_post(e.objectId, 0, SimResultKind::InitialPose,
                        {p.latitude, p.longitude, p.pitch, p.bank, p.heading, p.altitude, p.verticalSpeed,
                         p.trueAirspeed});
            },
            [](sim_event::Facilities&) {
                // Facility data is read on a connection of its own (FacilityReader).
            },
        },
        event);
}

void SimClient::onFrame()
{
    if (cleanupRunning_ || gf_simRunState() == kSimError)
        return;
    sendPoses();
    sendQueues();
}

void SimClient::sendPoses()
{
    if (!gf_poseTable().trySample(now(), poses_)) {
        ++skippedFrames_;
        return;
    }
    for (const auto& [objectId, pose] : poses_) {
        port_.setPose(objectId, pose); // an object on its way out may refuse; the next frame has no pose for it
        const auto [last, first] = lastSent_.try_emplace(objectId, pose);
        if (!first && !(last->second == pose)) {
            last->second = pose;
            if (moved_.insert(objectId).second)
                lf_tally([](SimLinkTally& t) { ++t.moved; });
        }
    }
}

void SimClient::sendQueues()
{
    gf_takeSimQueues(work_);
    for (const std::uint32_t id : work_.parkedReleases)
        parked_.erase(id);
    if (!work_.parkedReleases.empty())
        tallyActive();
    for (const auto& request : work_.requests)
        if (!sendRequest(request))
            return;
    for (const auto& event : work_.clientEvents)
        sendClientEvent(event);
    if (gf_isMsfs2020()) {
        for (const auto& plan : work_.flightPlans)
            port_.setFlightPlan(plan.objectId, path_to_utf8(plan.file));
    }
    for (const auto& create : work_.creates)
        if (!sendCreate(create))
            return;
    for (const std::uint32_t id : work_.removals)
        sendRemove(id);
    for (const auto& r : work_.reverseThrust) {
        const double lever = r.reverse ? -100.0 : 100.0;
        port_.setLevers(r.objectId, r.active ? LeverValues{100.0, lever, lever} : LeverValues{});
    }
}

bool SimClient::sendRequest(const SimRequest& request)
{
    PortResult hr = kPortOk;
    std::string_view failure;
    switch (static_cast<SimRequestKind>(request.kind)) {
    case SimRequestKind::AiInRange:
        hr = port_.requestAiInRange(gf_settings()->rangeMeters);
        failure = "SimConnect request ac within range fails";
        break;
    case SimRequestKind::UserTitleModel:
        hr = port_.requestUserTitle();
        failure = "SimConnect request user ac title fails";
        if (hr == kPortOk) {
            hr = port_.requestUserModel();
            failure = "SimConnect request user ac model fails";
        }
        break;
    case SimRequestKind::UserOnGround:
        hr = port_.requestUserOnGroundEverySecond();
        failure = "SimConnect request ac gnd/air fails";
        break;
    case SimRequestKind::UserPosition:
        hr = port_.requestUserPosition();
        failure = "SimConnect request user ac position fails";
        break;
    case SimRequestKind::StaticCgPitch:
        hr = port_.requestStaticCgAndPitch(request.objectId);
        failure = "SimConnect request StaticCG fails";
        break;
    case SimRequestKind::InitialPose:
        hr = port_.requestInitialPose(request.objectId);
        failure = "SimConnect request initial AI pose fails";
        break;
    default:
        return true;
    }
    if (hr == kPortOk)
        return true;
    gf_writeLogLine(failure);
    requestError();
    return false;
}

void SimClient::sendClientEvent(const AiClientEvent& event)
{
    if (event.eventId == FLAPS_SET) {
        // The simulator's AI takes the flaps back unless the object is released around the event.
        port_.releaseAiControl(event.objectId);
        if (port_.transmitClientEvent(event.objectId, event.eventId, event.value, TRAFFIC_APP) == kPortOk)
            port_.releaseAiControl(event.objectId);
        return;
    }
    port_.transmitClientEvent(event.objectId, event.eventId, event.value, TRAFFIC_APP);
}

bool SimClient::sendCreate(const AiCreateCommand& command)
{
    const std::uint32_t requestId = nextRequestId_++;
    if (const PortResult hr = port_.createAi(command, requestId); hr != kPortOk) {
        gf_writeLogLine(
            fmt::format("! create failed hr=0x{:08X}, requestId:{}, tailnumber:{}", hr, requestId, command.tailNumber));
        // A call that fails says nothing about the title (the connection broke, not
        // the livery): no creation failure is booked. The restart rebuilds the engine.
        requestError();
        return false;
    }
    pendingCreates_.emplace(requestId, PendingCreate{command.hexId, command.tailNumber});
    return true;
}

void SimClient::sendRemove(std::uint32_t objectId)
{
    if (const PortResult hr = port_.removeAi(objectId); hr != kPortOk) {
        // Kept as owned: the close-down tries once more.
        gf_writeLogLine(fmt::format("SimConnect remove object {} fails hr=0x{:08X}", gf_formatObjectId(objectId), hr));
        return;
    }
    owned_.erase(objectId);
    removing_.insert(objectId);
    if (cleanupRunning_)
        ++cleanupRequested_;
}

void SimClient::onCreated(std::uint32_t requestId, std::uint32_t objectId)
{
    const auto it = pendingCreates_.find(requestId);
    if (it == pendingCreates_.end()) {
        gf_writeLogLine(fmt::format("SimConnect create answer for unknown request {}, objectid:{}", requestId,
                                    gf_formatObjectId(objectId)));
        return;
    }
    const PendingCreate create = std::move(it->second);
    pendingCreates_.erase(it);
    const bool realObject = objectId >= 3;
    if (cleanupRunning_) {
        if (realObject) {
            owned_.insert(objectId);
            sendRemove(objectId);
            tallyActive();
        }
        return;
    }
    if (realObject) {
        port_.releaseAiControl(objectId);
        port_.freeze(objectId);
        owned_.insert(objectId);
        if (gf_isParkedHexId(create.hexId))
            parked_.insert(objectId);
        lf_tally([parked = gf_isParkedHexId(create.hexId)](SimLinkTally& t) {
            ++(parked ? t.parkedCreated : t.liveCreated);
        });
        tallyActive();
    }
    lf_post(objectId, create.hexId,
            gf_isParkedHexId(create.hexId) ? SimResultKind::StaticCreated : SimResultKind::LiveCreated);
}

void SimClient::onCreateRefused(std::uint32_t requestId, PortResult code)
{
    const auto it = pendingCreates_.find(requestId);
    if (it == pendingCreates_.end())
        return;
    gf_writeLogLine(fmt::format("! create failed hr=0x{:08X}, requestId:{}, tailnumber:{}", code, requestId,
                                it->second.tailNumber));
    const std::uint32_t hexId = it->second.hexId;
    pendingCreates_.erase(it);
    if (!cleanupRunning_)
        lf_post(0, hexId, SimResultKind::CreateFailed);
}

void SimClient::onRemoved(std::uint32_t objectId)
{
    const bool wasRemoving = removing_.erase(objectId) > 0;
    const bool wasOwned = owned_.erase(objectId) > 0;
    const bool wasParked = parked_.erase(objectId) > 0;
    lastSent_.erase(objectId);
    moved_.erase(objectId);
    if (!wasRemoving && !wasOwned)
        return;
    lf_tally([wasParked](SimLinkTally& t) {
        ++t.removed;
        ++(wasParked ? t.parkedRemoved : t.liveRemoved);
    });
    tallyActive();
    if (cleanupRunning_) {
        ++cleanupConfirmed_;
        return;
    }
    lf_post(objectId, 0, SimResultKind::ObjectRemoved);
}

void SimClient::forgetObjects()
{
    lastSent_.clear();
    moved_.clear();
    pendingCreates_.clear();
    owned_.clear();
    removing_.clear();
    parked_.clear();
}

void SimClient::loseConnection()
{
    port_.close();
    connected_ = false;
    forgetObjects();
    tallyActive();
}

void SimClient::tallyActive() const
{
    // Every parked object is also owned or on its way out.
    const std::size_t inSimulator = owned_.size() + removing_.size();
    lf_tally([inSimulator, parked = parked_.size()](SimLinkTally& t) {
        t.liveActive = inSimulator - parked;
        t.parkedActive = parked;
    });
}

void SimClient::onQuit()
{
    gf_writeLogLine("SimConnect: the simulator quit");
    loseConnection();
    gf_setSimRunState(kSimClosed);
    if (gf_isRunning())
        gf_simDisconnected();
}

void SimClient::onDispatchFailed(PortResult code)
{
    gf_writeLogLine(fmt::format("SimConnect dispatch failed; hr=0x{:08X} ({}); reconnecting ...", code,
                                static_cast<std::int32_t>(code)));
    const bool objectsLost = !owned_.empty() || !removing_.empty() || !pendingCreates_.empty();
    loseConnection();
    if (!objectsLost) {
        gf_setSimRunState(kSimClosed);
        return;
    }
    // The engine still counts objects that went with the old connection; a new
    // connection would leave them as ghosts. A clean restart rebuilds everything.
    gf_writeLogNotice("SimConnect connection lost with AI objects in the simulator; restarting");
    gaveUp_ = true;
    requestError();
}

void SimClient::requestError()
{
    lf_showMessage("SimConnect request error");
    gf_setSimRunState(kSimError);
    gf_requestStop(StopReason::SimConnectError, kSimErrorRestartDelay);
}

void SimClient::shutdown()
{
    if (!connected_)
        return;
    cleanupRunning_ = true;
    cleanupRequested_ = 0;
    cleanupConfirmed_ = 0;
    const std::size_t initiallyOwned = owned_.size();
    lf_tally([n = parked_.size()](SimLinkTally& t) { t.parkedAtStands = n; });
    const std::vector<std::uint32_t> ids(owned_.begin(), owned_.end());
    for (const std::uint32_t id : ids)
        sendRemove(id);
    const auto deadline = now() + timing_.shutdownWait;
    while (connected_ && (!removing_.empty() || !pendingCreates_.empty()) && now() < deadline) {
        if (!dispatchOnce())
            break;
        timing_.sleep(timing_.dispatchInterval);
    }
    gf_writeLogLineFlushed(fmt::format("SimConnect shutdown cleanup: initially owned {}, remove requested {}, "
                                       "confirmed {}, pending removals {}, pending creates {}",
                                       initiallyOwned, cleanupRequested_, cleanupConfirmed_, removing_.size(),
                                       pendingCreates_.size()));
    lf_tally([n = owned_.size() + removing_.size()](SimLinkTally& t) { t.left = n; });
    if (connected_)
        port_.close();
    connected_ = false;
    cleanupRunning_ = false;
    // Not recounted: what the simulator kept stays counted as active, as left.
    forgetObjects();
    gf_setSimRunState(kSimClosed);
}

// ---- Thread and state --------------------------------------------------------

void gf_simClientThread(std::stop_token stop)
{
    std::unique_ptr<SimPort> port = gf_makeSimPort();
    if (!port)
        port = std::make_unique<FakeSimPort>(); // no simulator behind it: the link waits
    try {
        SimClient client(*port);
        client.run(stop);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("gf_simClientThread exception: {}", e.what()));
        gf_setSimRunState(kSimError);
        gf_requestStop(StopReason::SimConnectError, kSimErrorRestartDelay);
    }
}

void gf_prepareSimClientState()
{
    gf_poseTable().clear();
    gf_poseTable().reserve(512);
    gf_clearSimQueues(true);
    gf_setSimRunState(kSimClosed);
}

void gf_resetSimClientState()
{
    gf_poseTable().clear();
    gf_clearSimQueues(false);
    g_connected.store(SimProduct::None);
    gf_setSimRunState(kSimClosed);
    gf_resetUserAircraftState();
}

} // namespace zelk

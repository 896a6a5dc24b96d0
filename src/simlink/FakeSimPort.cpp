#include "simlink/FakeSimPort.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <fmt/format.h>

namespace zelk {
namespace {

void lf_setZulu(UserAcPosition& position, std::chrono::system_clock::time_point now)
{
    using namespace std::chrono;
    const sys_seconds seconds = floor<std::chrono::seconds>(now);
    const sys_days day = floor<days>(seconds);
    const year y = year_month_day(day).year();
    position.zuluYear = static_cast<int>(y);
    position.zuluDayOfYear = (day - sys_days(y / January / 1)).count() + 1;
    position.zuluTime = (seconds - day).count();
}

} // namespace

// ---- Script ----------------------------------------------------------------

void FakeSimPort::setProduct(SimProduct product)
{
    std::lock_guard lock(mutex_);
    product_ = product;
}

void FakeSimPort::setSimulationRunning(bool running)
{
    std::lock_guard lock(mutex_);
    running_ = running;
}

void FakeSimPort::setFrameTiming(std::uint32_t dispatchesPerFrame, std::uint32_t framesPerSecond)
{
    std::lock_guard lock(mutex_);
    dispatchesPerFrame_ = std::max<std::uint32_t>(1, dispatchesPerFrame);
    framesPerSecond_ = std::max<std::uint32_t>(1, framesPerSecond);
}

void FakeSimPort::setCreateDelayFrames(std::uint32_t frames)
{
    std::lock_guard lock(mutex_);
    createDelayFrames_ = frames;
}

void FakeSimPort::failTitleAsync(const std::string& title)
{
    std::lock_guard lock(mutex_);
    asyncFailTitles_.insert(title);
}

void FakeSimPort::failTitleOnCall(const std::string& title)
{
    std::lock_guard lock(mutex_);
    callFailTitles_.insert(title);
}

void FakeSimPort::failCalls(const std::string& what, bool fail)
{
    std::lock_guard lock(mutex_);
    if (fail)
        failingCalls_.insert(what);
    else
        failingCalls_.erase(what);
}

void FakeSimPort::dropConnection()
{
    std::lock_guard lock(mutex_);
    dropPending_ = true;
}

void FakeSimPort::reportNewFlight(const std::string& file)
{
    std::lock_guard lock(mutex_);
    pending_.emplace_back(sim_event::FlightLoaded{file});
}

void FakeSimPort::quitSimulator()
{
    std::lock_guard lock(mutex_);
    pending_.emplace_back(sim_event::Quit{});
}

void FakeSimPort::pushEvent(SimEvent event)
{
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(event));
}

void FakeSimPort::setUserAircraft(const UserAcPosition& position, bool onGround, std::string title,
                                  std::string model)
{
    std::lock_guard lock(mutex_);
    userPosition_ = position;
    userOnGround_ = onGround;
    userTitle_ = std::move(title);
    userModel_ = std::move(model);
}

void FakeSimPort::setUserClock(UserClock clock)
{
    std::lock_guard lock(mutex_);
    userClock_ = std::move(clock);
}

void FakeSimPort::setStaticCgPitch(std::uint32_t objectId, double cgHeightFt, double pitchRad)
{
    std::lock_guard lock(mutex_);
    objectData_[objectId].cgPitch = std::make_pair(cgHeightFt, pitchRad);
}

void FakeSimPort::setInitialPose(std::uint32_t objectId, const SimPose& pose)
{
    std::lock_guard lock(mutex_);
    objectData_[objectId].pose = pose;
}

void FakeSimPort::muteObjectRequests(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    objectData_[objectId].muted = true;
}

void FakeSimPort::setForeignAircraft(std::vector<AiRangeEntry> aircraft)
{
    std::lock_guard lock(mutex_);
    foreign_ = std::move(aircraft);
}

void FakeSimPort::setGroundAltitude(double feet)
{
    std::lock_guard lock(mutex_);
    groundAltitudeFt_ = feet;
}

void FakeSimPort::setObjectGround(std::uint32_t objectId, bool onGround, double groundAltitudeFt, double heightFt)
{
    std::lock_guard lock(mutex_);
    auto& data = objectData_[objectId];
    data.onGround = onGround;
    data.groundAltitudeFt = groundAltitudeFt;
    data.heightFt = heightFt;
}

void FakeSimPort::setFacilities(IcaoCode airport, sim_event::Facilities data)
{
    std::lock_guard lock(mutex_);
    data.airport = airport;
    facilities_[airport.key()] = std::move(data);
}

void FakeSimPort::setFirstObjectId(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    nextObjectId_ = objectId;
}

// ---- Inspection ------------------------------------------------------------

bool FakeSimPort::isOpen() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

std::vector<FakeSimPort::CreatedObject> FakeSimPort::createdObjects() const
{
    std::lock_guard lock(mutex_);
    return objects_;
}

std::optional<FakeSimPort::CreatedObject> FakeSimPort::object(std::uint32_t objectId) const
{
    std::lock_guard lock(mutex_);
    for (const auto& o : objects_)
        if (o.objectId == objectId)
            return o;
    return std::nullopt;
}

std::set<std::uint32_t> FakeSimPort::liveObjects() const
{
    std::lock_guard lock(mutex_);
    std::set<std::uint32_t> ids;
    for (const auto& o : objects_)
        if (!o.removed)
            ids.insert(o.objectId);
    return ids;
}

std::vector<std::uint32_t> FakeSimPort::removeCalls() const
{
    std::lock_guard lock(mutex_);
    return removeCalls_;
}

std::vector<FakeSimPort::SentEvent> FakeSimPort::sentEvents() const
{
    std::lock_guard lock(mutex_);
    return sentEvents_;
}

std::vector<FakeSimPort::SentEvent> FakeSimPort::sentEventsFor(std::uint32_t objectId) const
{
    std::lock_guard lock(mutex_);
    std::vector<SentEvent> out;
    std::copy_if(sentEvents_.begin(), sentEvents_.end(), std::back_inserter(out),
                 [objectId](const SentEvent& e) { return e.objectId == objectId; });
    return out;
}

std::vector<std::pair<std::uint32_t, LeverValues>> FakeSimPort::leverCalls() const
{
    std::lock_guard lock(mutex_);
    return leverCalls_;
}

std::vector<std::pair<std::uint32_t, std::string>> FakeSimPort::flightPlans() const
{
    std::lock_guard lock(mutex_);
    return flightPlans_;
}

std::vector<std::string> FakeSimPort::callLog() const
{
    std::lock_guard lock(mutex_);
    return callLog_;
}

FakeSimPort::CallCounts FakeSimPort::counts() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

std::uint64_t FakeSimPort::framesSent() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

// ---- SimPort ---------------------------------------------------------------

PortResult FakeSimPort::checkOpen(const char* call)
{
    callLog_.emplace_back(call);
    return open_ ? kPortOk : kPortNotConnected;
}

bool FakeSimPort::failing(const std::string& what) const { return failingCalls_.contains(what); }

PortResult FakeSimPort::admitRequest(const char* call)
{
    if (const auto r = checkOpen(call); r != kPortOk)
        return r;
    return failing("request") ? kPortFailed : kPortOk;
}

FakeSimPort::CreatedObject* FakeSimPort::findObject(std::uint32_t objectId)
{
    for (auto& o : objects_)
        if (o.objectId == objectId && !o.removed)
            return &o;
    return nullptr;
}

void FakeSimPort::setSimulatorText(std::string text)
{
    std::lock_guard lock(mutex_);
    simulatorText_ = std::move(text);
}

std::string FakeSimPort::simulatorText() const
{
    std::lock_guard lock(mutex_);
    return simulatorText_;
}

SimProduct FakeSimPort::open(std::string_view clientName)
{
    std::lock_guard lock(mutex_);
    ++counts_.opens;
    callLog_.push_back(fmt::format("open {}", clientName));
    if (product_ == SimProduct::None)
        return SimProduct::None;
    open_ = true;
    setUp_ = false;
    announcedRunning_ = false;
    onGroundSubscribed_ = false;
    return product_;
}

PortResult FakeSimPort::close()
{
    std::lock_guard lock(mutex_);
    ++counts_.closes;
    callLog_.emplace_back("close");
    const bool wasOpen = open_;
    open_ = false;
    setUp_ = false;
    creates_.clear();
    return wasOpen && failing("close") ? kPortFailed : kPortOk;
}

PortResult FakeSimPort::setUp()
{
    std::lock_guard lock(mutex_);
    if (const auto r = checkOpen("setUp"); r != kPortOk)
        return r;
    setUp_ = true;
    return kPortOk;
}

void FakeSimPort::answerCreates(std::vector<SimEvent>& events)
{
    while (!creates_.empty() && creates_.front().framesLeft == 0) {
        PendingCreate create = std::move(creates_.front());
        creates_.pop_front();
        if (create.refuse) {
            events.emplace_back(sim_event::AiCreateRefused{create.requestId, kPortFailed});
            continue;
        }
        CreatedObject object;
        object.objectId = nextObjectId_++;
        object.command = std::move(create.command);
        objects_.push_back(std::move(object));
        events.emplace_back(sim_event::AiCreated{create.requestId, objects_.back().objectId});
    }
    for (auto& c : creates_)
        if (c.framesLeft > 0)
            --c.framesLeft;
}

PortResult FakeSimPort::dispatch(std::vector<SimEvent>& events)
{
    std::lock_guard lock(mutex_);
    ++counts_.dispatches;
    if (!open_)
        return kPortNotConnected;
    if (dropPending_) {
        // The simulator went away: its objects and unanswered work with it.
        dropPending_ = false;
        open_ = false;
        creates_.clear();
        pending_.clear();
        for (auto& o : objects_)
            o.removed = true;
        return kPortFailed;
    }
    while (!pending_.empty()) {
        const bool quit = std::holds_alternative<sim_event::Quit>(pending_.front());
        events.push_back(std::move(pending_.front()));
        pending_.pop_front();
        if (quit) {
            product_ = SimProduct::None;
            pending_.clear();
            return kPortOk;
        }
    }
    if (running_ != announcedRunning_) {
        announcedRunning_ = running_;
        if (running_)
            events.emplace_back(sim_event::SimStart{});
        else
            events.emplace_back(sim_event::SimStop{});
    }
    if (!running_)
        return kPortOk;
    if (++dispatchesSinceFrame_ < dispatchesPerFrame_)
        return kPortOk;
    dispatchesSinceFrame_ = 0;
    ++frames_;
    answerCreates(events);
    if (onGroundSubscribed_ && ++framesSinceSecond_ >= framesPerSecond_) {
        framesSinceSecond_ = 0;
        events.emplace_back(sim_event::UserOnGround{userOnGround_});
    }
    events.emplace_back(sim_event::Frame{});
    return kPortOk;
}

PortResult FakeSimPort::requestAiInRange(std::uint32_t radiusMeters)
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestAiInRange"); r != kPortOk)
        return r;
    ++counts_.inRangeRequests;
    counts_.lastInRangeRadius = radiusMeters;
    sim_event::AiInRange answer;
    answer.aircraft = foreign_;
    for (const auto& o : objects_) {
        if (o.removed)
            continue;
        AiRangeEntry entry;
        entry.objectId = o.objectId;
        entry.atcId = o.command.tailNumber;
        if (const auto it = objectData_.find(o.objectId); it != objectData_.end()) {
            entry.onGround = it->second.onGround;
            entry.groundAltitudeFt = it->second.groundAltitudeFt;
            entry.heightAboveGroundFt = it->second.heightFt;
        } else if (groundAltitudeFt_) {
            const double altitude = o.lastPose ? o.lastPose->altitude : o.command.position.altitude;
            entry.groundAltitudeFt = *groundAltitudeFt_;
            entry.heightAboveGroundFt = std::max(altitude - *groundAltitudeFt_, 0.0);
            entry.onGround = o.lastPose ? entry.heightAboveGroundFt <= kStandInOnGroundFt
                                        : o.command.position.onGround != 0;
        } else {
            entry.onGround = o.command.position.onGround != 0;
        }
        answer.aircraft.push_back(std::move(entry));
    }
    pending_.emplace_back(std::move(answer));
    return kPortOk;
}

PortResult FakeSimPort::requestUserTitle()
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestUserTitle"); r != kPortOk)
        return r;
    ++counts_.userTitleRequests;
    pending_.emplace_back(sim_event::UserTitle{userTitle_});
    return kPortOk;
}

PortResult FakeSimPort::requestUserModel()
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestUserModel"); r != kPortOk)
        return r;
    ++counts_.userModelRequests;
    pending_.emplace_back(sim_event::UserModel{userModel_});
    return kPortOk;
}

PortResult FakeSimPort::requestUserOnGroundEverySecond()
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestUserOnGroundEverySecond"); r != kPortOk)
        return r;
    onGroundSubscribed_ = true;
    return kPortOk;
}

PortResult FakeSimPort::requestUserPosition()
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestUserPosition"); r != kPortOk)
        return r;
    ++counts_.userPositionRequests;
    UserAcPosition position = userPosition_;
    if (userClock_)
        lf_setZulu(position, userClock_());
    pending_.emplace_back(sim_event::UserPosition{position});
    return kPortOk;
}

PortResult FakeSimPort::requestStaticCgAndPitch(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestStaticCgAndPitch"); r != kPortOk)
        return r;
    const auto it = objectData_.find(objectId);
    if (it != objectData_.end() && it->second.muted)
        return kPortOk;
    sim_event::StaticCgPitch answer{objectId, 0.0, 0.0};
    if (it != objectData_.end() && it->second.cgPitch) {
        answer.cgHeightFt = it->second.cgPitch->first;
        answer.pitchRad = it->second.cgPitch->second;
    }
    pending_.emplace_back(answer);
    return kPortOk;
}

PortResult FakeSimPort::requestInitialPose(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestInitialPose"); r != kPortOk)
        return r;
    const auto it = objectData_.find(objectId);
    if (it != objectData_.end() && it->second.muted)
        return kPortOk;
    sim_event::InitialPose answer{objectId, {}};
    if (it != objectData_.end() && it->second.pose) {
        answer.pose = *it->second.pose;
    } else if (const CreatedObject* o = findObject(objectId)) {
        const auto& p = o->command.position;
        constexpr double kRad = 0.017453292519943295;
        answer.pose = SimPose{p.latitude, p.longitude, p.pitch * kRad, p.bank * kRad, p.heading * kRad,
                              p.altitude, 0.0, static_cast<double>(p.airspeed)};
    } else {
        return kPortOk; // no such object: the simulator stays silent
    }
    pending_.emplace_back(answer);
    return kPortOk;
}

PortResult FakeSimPort::createAi(const AiCreateCommand& command, std::uint32_t requestId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = checkOpen("createAi"); r != kPortOk)
        return r;
    if (callFailTitles_.contains(command.title))
        return kPortFailed;
    creates_.push_back(
        PendingCreate{requestId, command, createDelayFrames_, asyncFailTitles_.contains(command.title)});
    return kPortOk;
}

PortResult FakeSimPort::removeAi(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = checkOpen("removeAi"); r != kPortOk)
        return r;
    removeCalls_.push_back(objectId);
    if (failing("remove"))
        return kPortFailed;
    if (CreatedObject* o = findObject(objectId)) {
        o->removed = true;
        pending_.emplace_back(sim_event::ObjectRemoved{objectId});
    }
    return kPortOk;
}

PortResult FakeSimPort::releaseAiControl(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = checkOpen("releaseAiControl"); r != kPortOk)
        return r;
    ++counts_.releases;
    if (CreatedObject* o = findObject(objectId))
        o->released = true;
    return kPortOk;
}

PortResult FakeSimPort::freeze(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = checkOpen("freeze"); r != kPortOk)
        return r;
    if (CreatedObject* o = findObject(objectId))
        o->frozen = true;
    return kPortOk;
}

PortResult FakeSimPort::setPose(std::uint32_t objectId, const SimPose& pose)
{
    std::lock_guard lock(mutex_);
    if (!open_)
        return kPortNotConnected;
    CreatedObject* o = findObject(objectId);
    if (o == nullptr)
        return kPortFailed;
    o->lastPose = pose;
    ++o->poseCount;
    return kPortOk;
}

PortResult FakeSimPort::transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value,
                                            std::uint32_t group)
{
    std::lock_guard lock(mutex_);
    if (!open_)
        return kPortNotConnected;
    if (failing("event"))
        return kPortFailed;
    sentEvents_.push_back(SentEvent{objectId, eventId, value, group});
    return kPortOk;
}

PortResult FakeSimPort::setLevers(std::uint32_t objectId, const LeverValues& levers)
{
    std::lock_guard lock(mutex_);
    if (!open_)
        return kPortNotConnected;
    leverCalls_.emplace_back(objectId, levers);
    return kPortOk;
}

PortResult FakeSimPort::setFlightPlan(std::uint32_t objectId, std::string_view utf8Path)
{
    std::lock_guard lock(mutex_);
    if (const auto r = checkOpen("setFlightPlan"); r != kPortOk)
        return r;
    flightPlans_.emplace_back(objectId, std::string(utf8Path));
    return kPortOk;
}

void FakeSimPort::stallFacilities(bool stall)
{
    std::lock_guard lock(mutex_);
    facilitiesStalled_ = stall;
}

PortResult FakeSimPort::requestFacilities(IcaoCode airport, std::uint32_t requestId)
{
    std::lock_guard lock(mutex_);
    if (const auto r = admitRequest("requestFacilities"); r != kPortOk)
        return r;
    if (facilitiesStalled_)
        return kPortOk;
    sim_event::Facilities answer;
    if (const auto it = facilities_.find(airport.key()); it != facilities_.end()) {
        answer = it->second;
    } else {
        answer.found = false;
        answer.airport = airport;
    }
    answer.requestId = requestId;
    pending_.emplace_back(std::move(answer));
    return kPortOk;
}

} // namespace zelk

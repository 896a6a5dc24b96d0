#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "simlink/SimPort.h"

namespace zelk {

// The simulator stand-in: an in-process SimPort that behaves like a running
// simulator as far as the link can tell, scripted by whoever owns it (tests, the
// demo run). Every dispatch is one simulator frame while the simulation runs.
// All members lock, so a test thread may script and inspect while the SimClient
// thread dispatches.
class FakeSimPort : public SimPort {
public:
    struct CreatedObject {
        std::uint32_t objectId = 0;
        AiCreateCommand command;
        bool released = false;
        bool frozen = false;
        bool removed = false;
        std::optional<SimPose> lastPose;
        std::uint64_t poseCount = 0;
    };
    struct SentEvent {
        std::uint32_t objectId = 0;
        std::uint32_t eventId = 0;
        std::uint32_t value = 0;
        std::uint32_t group = 0;
        bool operator==(const SentEvent&) const = default;
    };
    struct CallCounts {
        std::uint64_t opens = 0;
        std::uint64_t closes = 0;
        std::uint64_t dispatches = 0;
        std::uint64_t releases = 0;
        std::uint64_t userTitleRequests = 0;
        std::uint64_t userModelRequests = 0;
        std::uint64_t userPositionRequests = 0;
        std::uint64_t inRangeRequests = 0;
        std::uint32_t lastInRangeRadius = 0;
    };

    FakeSimPort() = default;

    // --- Script ---
    // Which simulator answers open (None: nobody).
    void setProduct(SimProduct product);
    // The simulation runs (frames and once-a-second reports); a change sends
    // SimStart or SimStop on the next dispatch while connected.
    void setSimulationRunning(bool running);
    // Dispatches per frame and frames per once-a-second report (both at least 1).
    void setFrameTiming(std::uint32_t dispatchesPerFrame, std::uint32_t framesPerSecond);
    // Creates are answered this many frames after the call (0: on the next dispatch).
    void setCreateDelayFrames(std::uint32_t frames);
    // Creates of this title are refused by an AiCreateRefused event ...
    void failTitleAsync(const std::string& title);
    // ... or refused by the create call itself.
    void failTitleOnCall(const std::string& title);
    // Calls of these kinds fail with kPortFailed ("request", "remove", "event",
    // "close").
    void failCalls(const std::string& what, bool fail);
    // The next dispatch fails as when the simulator crashed; the objects it
    // created are gone, and open works again afterwards.
    void dropConnection();
    // Sends FlightLoaded (a new flight) on the next dispatch.
    void reportNewFlight(const std::string& file);
    // Sends Quit on the next dispatch; open finds no simulator afterwards.
    void quitSimulator();
    // Sends any event on the next dispatch.
    void pushEvent(SimEvent event);
    void setUserAircraft(const UserAcPosition& position, bool onGround, std::string title, std::string model);
    // The simulator's clock: with a clock set, each user position reply carries
    // its time as the zulu year, day of year and seconds of the day; without
    // one, the zulu fields set with the user aircraft.
    using UserClock = std::function<std::chrono::system_clock::time_point()>;
    void setUserClock(UserClock clock);
    // Answers to the object requests (defaults: 0 ft / 0 rad and the create position).
    void setStaticCgPitch(std::uint32_t objectId, double cgHeightFt, double pitchRad);
    void setInitialPose(std::uint32_t objectId, const SimPose& pose);
    // Makes the object answer no pose or CG requests at all.
    void muteObjectRequests(std::uint32_t objectId);
    // Other traffic in the within-range answer, besides the created objects.
    void setForeignAircraft(std::vector<AiRangeEntry> aircraft);
    // Ground report of a created object in the within-range answer.
    void setObjectGround(std::uint32_t objectId, bool onGround, double groundAltitudeFt, double heightFt);
    // The ground under every object without its own ground report: the
    // elevation of the scripted airport. Such an object is on the ground while
    // its last pose is at most kStandInOnGroundFt above it. Without a ground
    // altitude an object stays on the ground as it was created, at 0 ft.
    void setGroundAltitude(double feet);
    static constexpr double kStandInOnGroundFt = 20.0;
    void setFacilities(IcaoCode airport, sim_event::Facilities data);
    // Facility requests are taken but never answered, as by a simulator that hangs.
    void stallFacilities(bool stall);
    // The first object id handed out (default 100).
    void setFirstObjectId(std::uint32_t objectId);

    // --- Inspection ---
    bool isOpen() const;
    std::vector<CreatedObject> createdObjects() const;
    std::optional<CreatedObject> object(std::uint32_t objectId) const;
    // Objects that exist in the simulator now (created, not removed).
    std::set<std::uint32_t> liveObjects() const;
    std::vector<std::uint32_t> removeCalls() const;
    std::vector<SentEvent> sentEvents() const;
    std::vector<SentEvent> sentEventsFor(std::uint32_t objectId) const;
    std::vector<std::pair<std::uint32_t, LeverValues>> leverCalls() const;
    std::vector<std::pair<std::uint32_t, std::string>> flightPlans() const;
    std::vector<std::string> callLog() const;
    CallCounts counts() const;
    std::uint64_t framesSent() const;

    // The name and version the simulator gives at the open.
    void setSimulatorText(std::string text);

    // --- SimPort ---
    SimProduct open(std::string_view clientName) override;
    std::string simulatorText() const override;
    PortResult close() override;
    PortResult setUp() override;
    PortResult dispatch(std::vector<SimEvent>& events) override;
    PortResult requestAiInRange(std::uint32_t radiusMeters) override;
    PortResult requestUserTitle() override;
    PortResult requestUserModel() override;
    PortResult requestUserOnGroundEverySecond() override;
    PortResult requestUserPosition() override;
    PortResult requestStaticCgAndPitch(std::uint32_t objectId) override;
    PortResult requestInitialPose(std::uint32_t objectId) override;
    PortResult createAi(const AiCreateCommand& command, std::uint32_t requestId) override;
    PortResult removeAi(std::uint32_t objectId) override;
    PortResult releaseAiControl(std::uint32_t objectId) override;
    PortResult freeze(std::uint32_t objectId) override;
    PortResult setPose(std::uint32_t objectId, const SimPose& pose) override;
    PortResult transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value,
                                   std::uint32_t group) override;
    PortResult setLevers(std::uint32_t objectId, const LeverValues& levers) override;
    PortResult setFlightPlan(std::uint32_t objectId, std::string_view utf8Path) override;
    PortResult requestFacilities(IcaoCode airport, std::uint32_t requestId) override;

private:
    struct PendingCreate {
        std::uint32_t requestId = 0;
        AiCreateCommand command;
        std::uint32_t framesLeft = 0;
        bool refuse = false;
    };
    struct ObjectData {
        std::optional<std::pair<double, double>> cgPitch;
        std::optional<SimPose> pose;
        bool muted = false;
        bool onGround = true;
        double groundAltitudeFt = 0.0;
        double heightFt = 0.0;
    };

    PortResult checkOpen(const char* call);
    bool failing(const std::string& what) const;
    // A data request: logged, refused while closed or while requests are made to fail.
    PortResult admitRequest(const char* call);
    void answerCreates(std::vector<SimEvent>& events);
    CreatedObject* findObject(std::uint32_t objectId);

    mutable std::mutex mutex_;
    SimProduct product_ = SimProduct::None;
    std::string simulatorText_;
    bool open_ = false;
    bool setUp_ = false;
    bool running_ = false;
    bool announcedRunning_ = false;
    bool dropPending_ = false;
    std::uint32_t dispatchesPerFrame_ = 1;
    std::uint32_t framesPerSecond_ = 30;
    std::uint32_t dispatchesSinceFrame_ = 0;
    std::uint32_t framesSinceSecond_ = 0;
    std::uint64_t frames_ = 0;
    std::uint32_t createDelayFrames_ = 0;
    std::uint32_t nextObjectId_ = 100;
    bool onGroundSubscribed_ = false;
    std::set<std::string> asyncFailTitles_;
    std::set<std::string> callFailTitles_;
    std::set<std::string> failingCalls_;
    std::deque<SimEvent> pending_;
    std::deque<PendingCreate> creates_;
    std::vector<CreatedObject> objects_;
    std::map<std::uint32_t, ObjectData> objectData_;
    std::vector<AiRangeEntry> foreign_;
    std::optional<double> groundAltitudeFt_;
    std::map<std::uint32_t, sim_event::Facilities> facilities_;
    bool facilitiesStalled_ = false;
    UserAcPosition userPosition_;
    UserClock userClock_;
    bool userOnGround_ = true;
    std::string userTitle_ = "Stand-in User Aircraft";
    std::string userModel_ = "B738";
    std::vector<std::uint32_t> removeCalls_;
    std::vector<SentEvent> sentEvents_;
    std::vector<std::pair<std::uint32_t, LeverValues>> leverCalls_;
    std::vector<std::pair<std::uint32_t, std::string>> flightPlans_;
    std::vector<std::string> callLog_;
    CallCounts counts_;
};

} // namespace zelk

#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "simlink/SimCommands.h"

namespace zelk {

// The poses of the AI objects on their way from the engine to the simulator.
// The worker collects one pose per object during an engine pass and appends
// them, stamped with the pass time, at the end of the pass; the SimClient
// thread samples the newest 16 per object on every simulator frame. The link
// only ever try-locks, and holds the lock for one sampling sweep, so a frame
// never makes the engine wait for more than that sweep and a busy table merely
// skips one frame.
class PoseTable {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kDepth = 16;
    // How far behind the newest pass the frames show the traffic: two passes,
    // so that a frame nearly always lies between two samples.
    static constexpr Clock::duration kRenderDelay = std::chrono::milliseconds(20);

    void reserve(std::size_t objects);

    // Engine pass: the object's pose of the current pass; a later one of the
    // same pass replaces the earlier. Every member takes the table's lock (the
    // link's sampling only try-locks it).
    void storePassPose(std::uint32_t objectId, const SimPose& pose);
    // Worker, end of a pass: appends every pose of the pass with the pass time
    // and empties the pass list.
    void flushPass(Clock::time_point passTime);
    // Forgets an object in both lists.
    void erase(std::uint32_t objectId);
    // Empties both lists and advances the generation.
    void clear();
    std::uint64_t generation() const noexcept { return generation_.load(); }

    // SimClient: without waiting. False when the table is busy; otherwise out
    // holds one pose per object, sampled at now - kRenderDelay.
    bool trySample(Clock::time_point now, std::vector<std::pair<std::uint32_t, SimPose>>& out);

    std::vector<AiPoseSample> samples(std::uint32_t objectId) const;
    std::size_t objectCount() const;
    std::size_t passPoseCount() const;

private:
    struct Track {
        std::array<AiPoseSample, kDepth> ring{};
        std::uint8_t first = 0;
        std::uint8_t size = 0;
        void push(const AiPoseSample& sample);
        const AiPoseSample& at(std::size_t i) const { return ring[(first + i) % kDepth]; }
    };
    static SimPose sampleTrack(const Track& track, Clock::time_point when);

    mutable std::mutex mutex_;
    std::unordered_map<std::uint32_t, SimPose> pass_;
    std::unordered_map<std::uint32_t, Track> tracks_;
    std::atomic<std::uint64_t> generation_{0};
};

// The link's one table.
PoseTable& gf_poseTable();

// The pose a fraction t (0..1) of the way from a to b: positions and speeds
// linear, longitude and the three angles along the shorter way round.
SimPose gf_interpolatePose(const SimPose& a, const SimPose& b, double t);

// The pose of a track (oldest first) at a time: the neighbours around it
// interpolated, clamped to the oldest and newest sample. The track must not be empty.
SimPose gf_samplePoseAt(std::span<const AiPoseSample> track, PoseTable::Clock::time_point when);

} // namespace zelk

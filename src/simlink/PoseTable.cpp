#include "simlink/PoseTable.h"

#include <cmath>

namespace zelk {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// The difference b - a brought into [-half, half).
double lf_shortDelta(double a, double b, double full)
{
    const double half = full / 2.0;
    double d = std::fmod(b - a + half, full);
    if (d < 0.0)
        d += full;
    return d - half;
}

double lf_wrap(double value, double low, double full)
{
    double v = std::fmod(value - low, full);
    if (v < 0.0)
        v += full;
    v += low;
    return v >= low + full ? low : v;
}

double lf_lerp(double a, double b, double t) { return a + (b - a) * t; }

} // namespace

SimPose gf_interpolatePose(const SimPose& a, const SimPose& b, double t)
{
    SimPose p;
    p.latitude = lf_lerp(a.latitude, b.latitude, t);
    p.longitude = lf_wrap(a.longitude + lf_shortDelta(a.longitude, b.longitude, 360.0) * t, -180.0, 360.0);
    p.pitch = lf_wrap(a.pitch + lf_shortDelta(a.pitch, b.pitch, kTwoPi) * t, -kPi, kTwoPi);
    p.bank = lf_wrap(a.bank + lf_shortDelta(a.bank, b.bank, kTwoPi) * t, -kPi, kTwoPi);
    p.heading = lf_wrap(a.heading + lf_shortDelta(a.heading, b.heading, kTwoPi) * t, 0.0, kTwoPi);
    p.altitude = lf_lerp(a.altitude, b.altitude, t);
    p.verticalSpeed = lf_lerp(a.verticalSpeed, b.verticalSpeed, t);
    p.trueAirspeed = lf_lerp(a.trueAirspeed, b.trueAirspeed, t);
    return p;
}

SimPose gf_samplePoseAt(std::span<const AiPoseSample> track, PoseTable::Clock::time_point when)
{
    if (when <= track.front().time)
        return track.front().pose;
    if (when >= track.back().time)
        return track.back().pose;
    for (std::size_t i = 0; i + 1 < track.size(); ++i) {
        const auto& a = track[i];
        const auto& b = track[i + 1];
        if (when < b.time) {
            const double span = std::chrono::duration<double>(b.time - a.time).count();
            const double t = span > 0.0 ? std::chrono::duration<double>(when - a.time).count() / span : 1.0;
            return gf_interpolatePose(a.pose, b.pose, t);
        }
    }
    return track.back().pose;
}

void PoseTable::Track::push(const AiPoseSample& sample)
{
    if (size < kDepth) {
        ring[(first + size) % kDepth] = sample;
        ++size;
    } else {
        ring[first] = sample;
        first = static_cast<std::uint8_t>((first + 1) % kDepth);
    }
}

SimPose PoseTable::sampleTrack(const Track& track, Clock::time_point when)
{
    std::array<AiPoseSample, kDepth> ordered;
    for (std::size_t i = 0; i < track.size; ++i)
        ordered[i] = track.at(i);
    return gf_samplePoseAt(std::span<const AiPoseSample>(ordered.data(), track.size), when);
}

void PoseTable::reserve(std::size_t objects)
{
    std::lock_guard lock(mutex_);
    pass_.reserve(objects);
    tracks_.reserve(objects);
}

void PoseTable::storePassPose(std::uint32_t objectId, const SimPose& pose)
{
    // The pass list is emptied from other threads too (removals, resets).
    std::lock_guard lock(mutex_);
    pass_[objectId] = pose;
}

void PoseTable::flushPass(Clock::time_point passTime)
{
    std::lock_guard lock(mutex_);
    for (const auto& [id, pose] : pass_)
        tracks_[id].push(AiPoseSample{pose, passTime});
    pass_.clear();
}

void PoseTable::erase(std::uint32_t objectId)
{
    std::lock_guard lock(mutex_);
    pass_.erase(objectId);
    tracks_.erase(objectId);
}

void PoseTable::clear()
{
    std::lock_guard lock(mutex_);
    pass_.clear();
    tracks_.clear();
    generation_.fetch_add(1);
}

bool PoseTable::trySample(Clock::time_point now, std::vector<std::pair<std::uint32_t, SimPose>>& out)
{
    out.clear();
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    out.reserve(tracks_.size());
    const auto when = now - kRenderDelay;
    for (const auto& [id, track] : tracks_)
        if (track.size > 0)
            out.emplace_back(id, sampleTrack(track, when));
    return true;
}

std::vector<AiPoseSample> PoseTable::samples(std::uint32_t objectId) const
{
    std::lock_guard lock(mutex_);
    std::vector<AiPoseSample> out;
    if (const auto it = tracks_.find(objectId); it != tracks_.end())
        for (std::size_t i = 0; i < it->second.size; ++i)
            out.push_back(it->second.at(i));
    return out;
}

std::size_t PoseTable::passPoseCount() const
{
    std::lock_guard lock(mutex_);
    return pass_.size();
}

std::size_t PoseTable::objectCount() const
{
    std::lock_guard lock(mutex_);
    return tracks_.size();
}

PoseTable& gf_poseTable()
{
    static PoseTable table;
    return table;
}

} // namespace zelk

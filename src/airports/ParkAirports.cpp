#include "airports/ParkAirports.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>
#include <unordered_map>
#include <vector>

#include <fmt/format.h>

#include "airports/AirportFileNames.h"
#include "airports/AirportsRegistry.h"
#include "airports/ParkAirportFollower.h"
#include "airports/ParkAirportHooks.h"
#include "core/Clock.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "core/TextFile.h"
#include "core/TimeUtils.h"
#include "gui/GuiUpdate.h"
#include "gui/ParkingControls.h"
#include "platform/FileReplace.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr double kMinRecomputeNm = 4.0;
constexpr std::size_t kManyParkAirports = 3000;
// A list file is a few kilobytes; anything far larger is not ours.
constexpr std::uintmax_t kMaxListFileBytes = 16 * 1024 * 1024;

struct ParkAirportState {
    std::mutex lock;
    std::deque<ParkAirport> list;
    std::vector<std::string> preserved;
    bool readingCompleted = false;
    bool fileExisted = false;
    double lastLatitude = 0.0;
    double lastLongitude = 0.0;
    double recomputeNm = kMinRecomputeNm;
};

ParkAirportState& lf_state()
{
    static ParkAirportState state;
    return state;
}

std::atomic<std::int64_t> g_noChoiceBefore{0};

void lf_resetNearest(ParkAirportState& s)
{
    s.lastLatitude = 0.0;
    s.lastLongitude = 0.0;
    s.recomputeNm = kMinRecomputeNm;
}

// Squared flat-earth distance in NM, with the cosine of the given latitude.
double lf_flatD2(double lat, double lon, double toLat, double toLon, double cosLat)
{
    const double dy = (lat - toLat) * 60.0;
    const double dx = (lon - toLon) * 60.0 * cosLat;
    return dx * dx + dy * dy;
}

struct CodeKeyHash {
    std::size_t operator()(std::uint32_t x) const noexcept
    {
        std::uint64_t h = x ^ (x >> 16);
        h *= 0x9e3779b97f4a7c15ULL;
        h ^= h >> 16;
        return static_cast<std::size_t>(h);
    }
};

// The first entry of a code stays; it takes a later duplicate's stand (and
// position) when it has none itself.
void lf_removeDuplicates(std::deque<ParkAirport>& list)
{
    if (list.size() < 2) return;
    std::unordered_map<std::uint32_t, std::size_t, CodeKeyHash> first;
    std::deque<ParkAirport> kept;
    for (ParkAirport& entry : list) {
        const auto [it, inserted] = first.try_emplace(entry.code.key(), kept.size());
        if (inserted) {
            kept.push_back(std::move(entry));
            continue;
        }
        ParkAirport& keep = kept[it->second];
        if (keep.userStand.empty() && !entry.userStand.empty()) keep = std::move(entry);
    }
    list = std::move(kept);
}

enum class ReadOutcome : std::uint8_t { Read, Missing, Failed };

ReadOutcome lf_readListText(const fs::path& path, std::string& text)
{
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found) {
        gf_writeLogLine(fmt::format("No saved park airports file: '{}'", path_to_utf8(path)));
        return ReadOutcome::Missing;
    }
    if (ec) {
        gf_writeLogNotice(fmt::format("Could not check '{}': {}", path_to_utf8(path), ec.message()));
        return ReadOutcome::Failed;
    }
    // Anything but a file (a folder in its place) is unreadable on every
    // system; Windows would already refuse to open it.
    if (st.type() != fs::file_type::regular) {
        gf_writeLogNotice(fmt::format("Could not read '{}'", path_to_utf8(path)));
        return ReadOutcome::Failed;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        gf_writeLogNotice(fmt::format("Could not open '{}'", path_to_utf8(path)));
        return ReadOutcome::Failed;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    std::ostringstream bytes;
    if (ec || size > kMaxListFileBytes || !(bytes << in.rdbuf())) {
        if (size == 0 && !ec) return ReadOutcome::Read;
        gf_writeLogNotice(fmt::format("Could not read '{}'", path_to_utf8(path)));
        return ReadOutcome::Failed;
    }
    text = bytes.str();
    return ReadOutcome::Read;
}

void lf_parseLine(const std::string& line, std::deque<ParkAirport>& list, std::vector<std::string>& preserved)
{
    const std::vector<std::string> fields = gf_split(line, ',');
    if (fields.empty()) {
        preserved.push_back(line);
        return;
    }
    if (fields.size() >= 3) {
        gf_writeLogNotice(fmt::format("{}:{} wrong syntax, preserved", "my_park_airports.txt", line));
        preserved.push_back(line);
        return;
    }
    const auto code = IcaoCode::tryParse(fields[0]);
    if (!code) {
        gf_writeLogNotice(fmt::format("{}:{} invalid ICAO code, preserved", "my_park_airports.txt", line));
        preserved.push_back(line);
        return;
    }
    const auto airport = gf_findAirport(*code);
    if (!airport) {
        gf_guiShowMessage(fmt::format("airport {} is unknown", *code), true);
        preserved.push_back(line);
        return;
    }
    list.push_back({fields.size() == 2 ? fields[1] : std::string{}, airport->latitude, airport->longitude, *code});
}

void lf_logCounts(bool existed, std::size_t read, std::size_t added, std::size_t total)
{
    if (existed)
        gf_writeLogLine(fmt::format("\n{:5} park airport{} read from '{}'", read, gf_pluralSuffix(read),
                                    path_to_utf8(kMyParkAirportsFile)));
    if (added > 0)
        gf_writeLogLine(fmt::format("{:5} park airport{} added from '{}'", added, gf_pluralSuffix(added),
                                    path_to_utf8(kMyThirdpartyFolder)));
    if (total > 0)
        gf_writeLogLine(fmt::format("{:5} park airport{} available in total", total, total > 1 ? "s" : ""));
    if (total > kManyParkAirports)
        gf_guiShowMessage(fmt::format("Warning: There are a lot of park airports ({}), that will cost ZELK much cpu "
                                      "time and may cause stutters",
                                      total),
                          true);
}

void lf_readList()
{
    {
        const std::scoped_lock guard(lf_state().lock);
        lf_state().readingCompleted = false;
    }
    std::string text;
    const ReadOutcome outcome = lf_readListText(kMyParkAirportsFile, text);
    if (outcome == ReadOutcome::Failed) return;
    std::vector<std::string> lines;
    gf_splitLines(text, lines);
    std::deque<ParkAirport> list;
    std::vector<std::string> preserved;
    for (const std::string& line : lines) lf_parseLine(line, list, preserved);
    const std::size_t read = list.size();
    const std::size_t added = lf_addMyThirdpartyParkAirports(list);
    lf_removeDuplicates(list);
    lf_logCounts(outcome == ReadOutcome::Read, read, added, list.size());
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    s.list = std::move(list);
    s.preserved = std::move(preserved);
    s.fileExisted = outcome == ReadOutcome::Read;
    s.readingCompleted = true;
    lf_resetNearest(s);
}

void lf_placeFront(const IcaoCode& code, double latitude, double longitude, const std::string* stand)
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    const auto it = std::find_if(s.list.begin(), s.list.end(), [&](const ParkAirport& p) { return p.code == code; });
    if (it == s.list.end()) {
        s.list.push_front({stand != nullptr ? *stand : std::string{}, latitude, longitude, code});
    } else {
        it->latitude = latitude;
        it->longitude = longitude;
        if (stand != nullptr) it->userStand = *stand;
        std::rotate(s.list.begin(), it, it + 1);
    }
    lf_resetNearest(s);
}

void lf_makeUserAirport(const AirportRecord& airport)
{
    ParkAirportRecord record;
    record.airport = airport;
    gf_setParkAirport(record);
}

// The choice is made: the load follows on the next pass.
void lf_requestLoad()
{
    gf_requestParkAirportReload();
    gf_disableParkingControls();
    const auto hooks = gf_parkAirportHooks();
    if (hooks->clearFeedRecordTables) hooks->clearFeedRecordTables();
}

void lf_chooseInTheAir(const UserAcPosition& position)
{
    const auto current = gf_currentParkAirport();
    if (!current || !lf_isWithinParkReach(position, current->latitude, current->longitude)) return;
    const auto airport = gf_findAirport(current->code);
    if (!airport) {
        gf_postGuiUpdate(gui_update::SetParkAirport{IcaoCode{}});
        return;
    }
    lf_makeUserAirport(*airport);
    gf_writeLogLine(fmt::format("\nThe park airport is {}", airport->icao));
    gf_postGuiUpdate(gui_update::SetParkAirport{airport->icao});
    const auto hooks = gf_parkAirportHooks();
    if (!gf_isRTDirect() && hooks->requestRTAppParkedTraffic) hooks->requestRTAppParkedTraffic();
    gf_guiShowMessage(fmt::format("{} within reach", airport->icao), true);
    lf_requestLoad();
    gf_flushLog();
}

void lf_chooseOnTheGround(const UserAcPosition& position)
{
    const auto airport = gf_findClosestAirport(position.latitude, position.longitude);
    if (!airport) {
        gf_guiShowMessage("User aircraft on the ground, no RT supported airport within reach", true);
        gf_holdParkAirportChoice();
        return;
    }
    const std::string text = fmt::format("{}", AirportCodes{airport->icao, airport->iata});
    if (!gf_airportFileAvailable(airport->icao)) {
        gf_guiShowMessage(fmt::format("User aircraft on the ground at {}, no airport file found", text), true);
        gf_holdParkAirportChoice();
        return;
    }
    gf_writeLogLine(fmt::format("User aircraft on the ground at {}", text));
    lf_makeUserAirport(*airport);
    gf_writeLogLineFlushed(fmt::format("\nThe park airport is {}", airport->icao));
    gf_postGuiUpdate(gui_update::SetParkAirport{airport->icao});
    lf_requestLoad();
}

void lf_leave(const AirportRecord& airport)
{
    const auto hooks = gf_parkAirportHooks();
    if (hooks->clearStaticWorkList) hooks->clearStaticWorkList();
    if (hooks->removeAllStaticAndLiveAtAirport) hooks->removeAllStaticAndLiveAtAirport(airport.icao);
    gf_resetParkingAirport();
}

} // namespace

void gf_readMyParkAirportsFile()
{
    try {
        lf_readList();
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{}: {}", "gf_readMyParkAirportsFile", e.what()));
    }
}

void gf_writeMyParkAirportsFile()
{
    ParkAirportState& s = lf_state();
    std::deque<ParkAirport> list;
    std::vector<std::string> preserved;
    bool existed = false;
    {
        const std::scoped_lock guard(s.lock);
        if (!s.readingCompleted) {
            gf_writeLogLine("Park airports file not saved: reading was not completed");
            return;
        }
        list = s.list;
        preserved = s.preserved;
        existed = s.fileExisted;
        s.readingCompleted = false;
    }
    if (list.empty() && preserved.empty()) {
        if (existed) gf_writeLogLine(fmt::format("Park airports file left unchanged: '{}'", path_to_utf8(kMyParkAirportsFile)));
        return;
    }
    lf_removeDuplicates(list);
    std::vector<std::string> lines;
    for (const ParkAirport& p : list)
        lines.push_back(p.userStand.empty() ? p.code.toString() : fmt::format("{},{}", p.code, p.userStand));
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    for (const std::string& line : preserved) text += line + "\n";
    std::error_code ec;
    if (!platform::writeFileDurably(kMyParkAirportsFile, text, ec))
        gf_writeLogNotice(fmt::format("Could not write '{}'", path_to_utf8(kMyParkAirportsFile)));
}

std::size_t lf_addMyThirdpartyParkAirports(std::deque<ParkAirport>& list)
{
    std::error_code ec;
    if (!fs::is_directory(kMyThirdpartyFolder, ec)) return 0;
    std::size_t added = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(kMyThirdpartyFolder, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        const std::string stem = path_to_utf8(entry.path().stem());
        const auto code = stem.size() == 4 ? IcaoCode::tryParse(stem) : std::nullopt;
        if (!code) continue;
        if (std::any_of(list.begin(), list.end(), [&](const ParkAirport& p) { return p.code == *code; })) continue;
        const auto airport = gf_findAirport(*code);
        if (!airport) continue;
        list.push_back({std::string{}, airport->latitude, airport->longitude, *code});
        ++added;
    }
    return added;
}

std::optional<ParkAirport> gf_currentParkAirport()
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    if (s.list.empty()) return std::nullopt;
    return s.list.front();
}

std::optional<std::string> gf_currentParkAirportStand()
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    if (s.list.empty() || s.list.front().userStand.empty()) return std::nullopt;
    return s.list.front().userStand;
}

std::deque<ParkAirport> gf_parkAirportList()
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    return s.list;
}

void gf_setCurrentParkAirport(const IcaoCode& code, double latitude, double longitude)
{
    lf_placeFront(code, latitude, longitude, nullptr);
}

void gf_setCurrentParkAirportWithStand(const IcaoCode& code, double latitude, double longitude, std::string stand)
{
    lf_placeFront(code, latitude, longitude, &stand);
}

bool gf_setParkAirportStandIfCurrent(const IcaoCode& code, std::string stand)
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    if (s.list.empty() || s.list.front().code != code) return false;
    s.list.front().userStand = std::move(stand);
    return true;
}

std::optional<std::string> gf_parkAirportStandOf(const IcaoCode& code)
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    for (const ParkAirport& p : s.list)
        if (p.code == code) return p.userStand.empty() ? std::nullopt : std::optional<std::string>(p.userStand);
    return std::nullopt;
}

bool gf_setParkAirportStandOf(const IcaoCode& code, std::string stand)
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    for (ParkAirport& p : s.list) {
        if (p.code != code) continue;
        p.userStand = std::move(stand);
        return true;
    }
    return false;
}

void gf_updateNearestParkAirport(double latitude, double longitude)
{
    try {
        ParkAirportState& s = lf_state();
        const std::scoped_lock guard(s.lock);
        if (s.list.empty()) return;
        const double k = std::cos(latitude * kDegToRad);
        const bool hasLast = s.lastLatitude != 0.0 || s.lastLongitude != 0.0;
        if (hasLast && std::sqrt(lf_flatD2(s.lastLatitude, s.lastLongitude, latitude, longitude, k)) < s.recomputeNm)
            return;
        s.lastLatitude = latitude;
        s.lastLongitude = longitude;
        std::size_t best = s.list.size();
        double bestD2 = 0.0;
        for (std::size_t i = 0; i < s.list.size(); ++i) {
            const ParkAirport& p = s.list[i];
            if (p.latitude == 0.0 && p.longitude == 0.0) continue;
            const double d2 = lf_flatD2(p.latitude, p.longitude, latitude, longitude, k);
            if (best == s.list.size() || d2 < bestD2) {
                best = i;
                bestD2 = d2;
            }
        }
        if (best < s.list.size() && best != 0) std::swap(s.list[0], s.list[best]);
        const ParkAirport& front = s.list.front();
        s.recomputeNm = std::max(kMinRecomputeNm,
                                 gf_distanceNm({front.latitude, front.longitude}, {latitude, longitude}) / 2.0);
    } catch (const std::system_error&) {
        // A lock that cannot be taken skips this pass's update.
    }
}

bool lf_isWithinParkReach(const UserAcPosition& user, double airportLatitude, double airportLongitude)
{
    const auto settings = gf_settings();
    if (user.altitude > settings->AIRP_HEIGHT) return false;
    const double range = settings->AIRP_RANGE;
    return lf_flatD2(user.latitude, user.longitude, airportLatitude, airportLongitude,
                     std::cos(user.latitude * kDegToRad)) <= range * range;
}

void gf_holdParkAirportChoice()
{
    g_noChoiceBefore.store(gf_clockTicks() + kParkAirportChoiceHoldSeconds * kClockTicksPerSecond);
}

void gf_chooseParkAirport(const UserAcPosition& position)
{
    if (gf_clockTicks() < g_noChoiceBefore.load()) return;
    if (gf_isUserOnGround())
        lf_chooseOnTheGround(position);
    else
        lf_chooseInTheAir(position);
}

void gf_checkParkAirportReach(const UserAcPosition& position)
{
    if (gf_isUserOnGround()) return;
    const AirportRecord user = gf_parkAirport().airport;
    if (!user.icao.isSet()) return;
    const std::string userText = fmt::format("{}", AirportCodes{user.icao, user.iata});
    if (!lf_isWithinParkReach(position, user.latitude, user.longitude)) {
        gf_writeLogLineFlushed(fmt::format("\n{} {} is no longer within reach, parked aircraft will be removed",
                                           gf_displayTimeText(), userText));
        lf_leave(user);
        return;
    }
    const auto current = gf_currentParkAirport();
    if (!current || current->code == user.icao ||
        !lf_isWithinParkReach(position, current->latitude, current->longitude))
        return;
    const double k = std::cos(position.latitude * kDegToRad);
    const LatLon here{position.latitude, position.longitude};
    if (lf_flatD2(current->latitude, current->longitude, here.latitude, here.longitude, k) >
            lf_flatD2(user.latitude, user.longitude, here.latitude, here.longitude, k) ||
        gf_distanceNm({current->latitude, current->longitude}, here) > gf_distanceNm({user.latitude, user.longitude}, here))
        return;
    gf_writeLogLineFlushed(fmt::format("\n{} {} is within reach, parked aircraft at {} will be removed first",
                                       gf_displayTimeText(), current->code, userText));
    lf_leave(user);
}

void gf_resetParkAirportList()
{
    ParkAirportState& s = lf_state();
    const std::scoped_lock guard(s.lock);
    s.list.clear();
    s.preserved.clear();
    s.readingCompleted = false;
    s.fileExisted = false;
    lf_resetNearest(s);
    g_noChoiceBefore.store(0);
}

} // namespace zelk

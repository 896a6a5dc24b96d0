// The traffic engine's containers and the operations that put them back into
// a known state at the start and the end of a run.
#include "traffic/TrafficState.h"

#include <fmt/format.h>

#include "core/Published.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/StandFit.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

// Capacities made sure of at the start of every run, so that the main loop
// does not reallocate in its first minutes.
constexpr std::size_t kLiveReserve = 512;
constexpr std::size_t kStaticReserve = 256;
constexpr std::size_t kAddingReserve = 64;
constexpr std::size_t kIncomingResultsReserve = 256;
constexpr std::size_t kDelayedResultsReserve = 256;
constexpr std::size_t kProcessingResultsReserve = 128;
constexpr std::size_t kStandReserve = 512;
constexpr std::size_t kStaticWorkReserve = 512;
constexpr std::size_t kRemovalsReserve = 256;
constexpr std::size_t kStayersReserve = 64;
constexpr std::size_t kSpawnTextReserve = 64;
constexpr std::size_t kParkedLightReserve = 24;

constexpr std::int32_t kStandardQnhHpa = 1013;

template <typename Container>
Container lf_newHashContainer()
{
    Container c(kTrafficHashBuckets);
    c.max_load_factor(1.0f);
    return c;
}

// One object, so that the containers are built together on first use and
// destroyed together at exit.
struct TrafficContainers {
    std::vector<LiveAc> live;
    std::vector<StaticAc> statics;
    std::vector<std::uint32_t> adding;
    std::deque<AiCreateCommand> liveCreates;
    std::deque<AiCreateCommand> staticCreates;
    std::deque<std::uint32_t> removals;
    SimResultLists results;
    TrafficIdMap<NewAircraftConfirmation> confirmations = lf_newHashContainer<TrafficIdMap<NewAircraftConfirmation>>();
    std::vector<ParkPos> stands;
    TrafficTextMap<std::int32_t> standNames = lf_newHashContainer<TrafficTextMap<std::int32_t>>();
    std::vector<StaticWorkItem> staticWork;
    std::vector<std::pair<std::string, std::uint32_t>> parkingRemovals;
    std::vector<LiveStayer> liveStayers;
    std::vector<std::string> spawnTexts;
    std::list<std::uint32_t> followUps;
    std::uint64_t promotions = 0;
    std::vector<ParkedLightCommand> parkedLights;
    TrafficTextSet placedCallsigns = lf_newHashContainer<TrafficTextSet>();
    TrafficIdSet placedHexIds = lf_newHashContainer<TrafficIdSet>();
    std::string airportFileName;
    TrafficFlags flags;
    std::atomic<std::int64_t> parkingTime{0};
    // Published from the start as an empty list, so readers never see null.
    Published<const StandNameList> publishedStandNames{std::make_shared<const StandNameList>()};
};

TrafficContainers& lf_state()
{
    static TrafficContainers state;
    return state;
}

void lf_clearSimResults(SimResultLists& results)
{
    gf_clearSimObjectResults(kIncomingResultsReserve);
    results.processing.clear();
    results.delayed.clear();
}

template <typename T>
void lf_reserve(std::vector<T>& v, std::size_t capacity)
{
    if (v.capacity() < capacity) v.reserve(capacity);
}

// Swapping with a new queue is what gives the storage back; clear() keeps it.
template <typename T>
void lf_release(std::deque<T>& queue)
{
    std::deque<T>().swap(queue);
}

} // namespace

std::vector<LiveAc>& gf_liveAircraft() { return lf_state().live; }
std::vector<StaticAc>& gf_staticAircraft() { return lf_state().statics; }
StaticAc* gf_staticByHex(std::uint32_t hexId) noexcept
{
    for (StaticAc& st : lf_state().statics)
        if (st.hexId == hexId)
            return &st;
    return nullptr;
}
std::vector<std::uint32_t>& gf_addingStack() { return lf_state().adding; }
std::deque<AiCreateCommand>& gf_liveCreateQueue() { return lf_state().liveCreates; }
std::deque<AiCreateCommand>& gf_staticCreateQueue() { return lf_state().staticCreates; }
std::deque<std::uint32_t>& gf_removalQueue() { return lf_state().removals; }
SimResultLists& gf_simResultLists() { return lf_state().results; }
TrafficIdMap<NewAircraftConfirmation>& gf_newAircraftConfirmations() { return lf_state().confirmations; }
std::vector<ParkPos>& gf_stands() { return lf_state().stands; }
TrafficTextMap<std::int32_t>& gf_standNameMap() { return lf_state().standNames; }
std::vector<StaticWorkItem>& gf_staticWorkList() { return lf_state().staticWork; }
std::vector<std::pair<std::string, std::uint32_t>>& gf_parkingRemovals() { return lf_state().parkingRemovals; }
std::vector<LiveStayer>& gf_liveStayers() { return lf_state().liveStayers; }
std::vector<std::string>& gf_spawnTexts() { return lf_state().spawnTexts; }
std::list<std::uint32_t>& gf_followUpList() { return lf_state().followUps; }
std::uint64_t& gf_promotionCount() { return lf_state().promotions; }
std::vector<ParkedLightCommand>& gf_parkedLightStack() { return lf_state().parkedLights; }
TrafficTextSet& gf_placedParkedCallsigns() { return lf_state().placedCallsigns; }
TrafficIdSet& gf_placedParkedHexIds() { return lf_state().placedHexIds; }
std::string& gf_loadedAirportFileName() { return lf_state().airportFileName; }
TrafficFlags& gf_trafficFlags() { return lf_state().flags; }
std::atomic<std::int64_t>& gf_sharedParkingTime() { return lf_state().parkingTime; }

std::shared_ptr<const StandNameList> gf_publishedStandNames() { return lf_state().publishedStandNames.load(); }

void gf_replacePublishedStandNames(std::shared_ptr<const StandNameList> names)
{
    if (!names) names = std::make_shared<const StandNameList>();
    lf_state().publishedStandNames.store(std::move(names));
}

void gf_clearStaticWorkList() { lf_state().staticWork.clear(); }

void gf_clearStaticList() { lf_state().statics.clear(); }

void gf_resetTrafficState()
{
    TrafficContainers& s = lf_state();
    s.liveStayers.clear();
    gf_resetLiveParkedPass();
    s.live.clear();
    s.confirmations.clear();
    s.statics.clear();
    s.stands.clear();
    s.standNames.clear();
    gf_publishStandNames();

    lf_clearSimResults(s.results);
    s.adding.clear();
    s.staticWork.clear();
    s.parkingRemovals.clear();
    s.spawnTexts.clear();
    s.followUps.clear();
    s.promotions = 0;
    s.parkedLights.clear();
    s.flags.staticErasePending = false;

    lf_reserve(s.live, kLiveReserve);
    lf_reserve(s.statics, kStaticReserve);
    lf_reserve(s.adding, kAddingReserve);
    lf_reserve(s.results.delayed, kDelayedResultsReserve);
    lf_reserve(s.results.processing, kProcessingResultsReserve);
    lf_reserve(s.stands, kStandReserve);
    lf_reserve(s.staticWork, kStaticWorkReserve);
    lf_reserve(s.parkingRemovals, kRemovalsReserve);
    lf_reserve(s.liveStayers, kStayersReserve);
    lf_reserve(s.spawnTexts, kSpawnTextReserve);
    lf_reserve(s.parkedLights, kParkedLightReserve);
}

void gf_clearAllTraffic()
{
    TrafficContainers& s = lf_state();
    const auto hooks = gf_trafficStateHooks();
    if (hooks->clearUserAirportAndStand) hooks->clearUserAirportAndStand();
    if (hooks->resetParkedRequest) hooks->resetParkedRequest();
    gf_postTrafficScreenUpdate(gui_update::SetLiveCount{0});
    gf_postTrafficScreenUpdate(gui_update::SetParkedCounts{0, 0});

    lf_clearSimResults(s.results);
    s.spawnTexts.clear();
    s.followUps.clear();
    s.promotions = 0;
    gf_clearStaticWorkList();
    gf_liveryBookkeeping().clearRemembered();
    s.adding.clear();

    lf_release(s.removals);
    lf_release(s.liveCreates);
    lf_release(s.staticCreates);

    s.parkingRemovals.clear();
    s.statics.clear();

    if (hooks->resetMailbox) hooks->resetMailbox();

    s.parkedLights.clear();
    s.flags.staticErasePending = false;
    s.flags.parkingSummaryPending = false;
    gf_postTrafficScreenUpdate(gui_update::Redraw{kBandSettings});
    s.flags.followParkAirport = false;

    s.live.clear();
    s.stands.clear();
    s.standNames.clear();
    gf_publishStandNames();

    s.airportFileName.clear();
    if (hooks->setQnh) hooks->setQnh(kStandardQnhHpa);
    gf_postTrafficScreenUpdate(gui_update::SetQnh{kStandardQnhHpa});
    gf_resetLearnedOptionsTotal();
    s.parkingTime.store(0);
    gf_liveryBookkeeping().clearUnmatched();
}

void gf_clearParkedTrafficTables(ParkedTables what)
{
    TrafficContainers& s = lf_state();
    s.placedCallsigns.clear();
    s.placedHexIds.clear();
    if (what == ParkedTables::PlacedOnly) return;
    const auto hooks = gf_trafficStateHooks();
    if (!hooks->clearParkedTables) return;
    // Again under the reader's lock: the reader may have placed more meanwhile.
    hooks->clearParkedTables([&s] {
        s.placedCallsigns.clear();
        s.placedHexIds.clear();
    });
}

} // namespace zelk

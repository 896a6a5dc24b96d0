#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Strings.h"
#include "simlink/FacilityReader.h"
#include "simlink/SimConnectLibrary.h"
#include "simlink/SimConnectPort.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

// A record as the library hands it over: bytes at documented offsets.
class Record {
public:
    Record(sc::RecvId id, std::size_t size) : bytes_(size)
    {
        put(sc::recv::kSize, static_cast<std::uint32_t>(size));
        put(sc::recv::kId, static_cast<std::uint32_t>(id));
    }
    template <class T>
    Record& put(std::size_t offset, const T& value)
    {
        if (bytes_.size() < offset + sizeof(T))
            bytes_.resize(offset + sizeof(T));
        std::memcpy(bytes_.data() + offset, &value, sizeof(T));
        return *this;
    }
    Record& text(std::size_t offset, const std::string& s)
    {
        for (std::size_t i = 0; i < s.size(); ++i)
            put(offset + i, s[i]);
        return *this;
    }
    std::vector<std::byte> bytes_;
};

// The library's side: records queued for dispatch, calls counted as packets.
struct FakeLibrary {
    std::deque<Record> queue;
    std::uint32_t packets = 0;
    std::uint32_t versionMajor = 12;
    bool answerOpen = true;
    std::vector<std::string> creates;
};
FakeLibrary* g_lib = nullptr;

sc::Hresult fakeOpen(sc::Handle* h, const char*, void*, std::uint32_t, void*, std::uint32_t)
{
    *h = g_lib;
    if (g_lib->answerOpen)
        g_lib->queue.push_back(Record(sc::RecvId::Open, sc::open::kSize)
                                   .text(sc::open::kApplicationName, "KittyHawk")
                                   .put(sc::open::kApplicationVersionMajor, g_lib->versionMajor)
                                   .put(sc::open::kApplicationBuildMajor, std::uint32_t{282174}));
    return sc::kOk;
}
sc::Hresult fakeDispatch(sc::Handle, sc::DispatchProc proc, void* context)
{
    if (g_lib->queue.empty())
        return sc::kFail;
    // An odd start, as a record inside the library's receive buffer may have.
    std::vector<std::byte> buffer(g_lib->queue.front().bytes_.size() + 1);
    std::memcpy(buffer.data() + 1, g_lib->queue.front().bytes_.data(), buffer.size() - 1);
    g_lib->queue.pop_front();
    proc(buffer.data() + 1, static_cast<std::uint32_t>(buffer.size() - 1), context);
    return sc::kOk;
}
sc::Hresult fakeCreate(sc::Handle, const char* title, const char*, sc::InitPosition, std::uint32_t)
{
    ++g_lib->packets;
    g_lib->creates.push_back(std::string("plain ") + title);
    return sc::kOk;
}
sc::Hresult fakeCreateEx1(sc::Handle, const char* title, const char*, const char*, sc::InitPosition, std::uint32_t)
{
    ++g_lib->packets;
    g_lib->creates.push_back(std::string("ex1 ") + title);
    return sc::kOk;
}
sc::Hresult fakeLastSent(sc::Handle, std::uint32_t* id)
{
    *id = g_lib->packets;
    return sc::kOk;
}
sc::Hresult fakeFacilityRequest(sc::Handle, std::uint32_t, std::uint32_t, const char*, const char*)
{
    ++g_lib->packets;
    return sc::kOk;
}

sc::Api fakeApi(bool withEx1)
{
    sc::Api api;
    api.open = fakeOpen;
    api.close = [](sc::Handle) { return sc::kOk; };
    api.callDispatch = fakeDispatch;
    api.aiCreateNonAtcAircraft = fakeCreate;
    api.aiCreateNonAtcAircraftEx1 = withEx1 ? fakeCreateEx1 : nullptr;
    api.getLastSentPacketId = fakeLastSent;
    api.addToFacilityDefinition = [](sc::Handle, std::uint32_t, const char*) { return sc::kOk; };
    api.addToDataDefinition = [](sc::Handle, std::uint32_t, const char*, const char*, std::uint32_t, float,
                                 std::uint32_t) { return sc::kOk; };
    api.requestFacilityData = fakeFacilityRequest;
    return api;
}

class SimConnectPortTest : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        g_lib = &lib;
    }
    void TearDown() override
    {
        g_lib = nullptr;
        LoggedTempDirTest::TearDown();
    }
    SimConnectPort::Options noWait()
    {
        SimConnectPort::Options o;
        o.sleep = [](std::chrono::milliseconds) {};
        return o;
    }
    std::vector<SimEvent> dispatch(SimConnectPort& port)
    {
        std::vector<SimEvent> events;
        EXPECT_EQ(port.dispatch(events), kPortOk);
        return events;
    }
    FakeLibrary lib;
};

TEST_F(SimConnectPortTest, OpenDecidesTheSimulatorByItsVersion)
{
    SimConnectPort port(fakeApi(true), noWait());
    EXPECT_EQ(port.open("ZELK"), SimProduct::Msfs2024);
    EXPECT_TRUE(port.createsWithEx1());
    EXPECT_EQ(gf_simulatorText(port.simulator()), "KittyHawk (12.0.282174.0)");

    lib.versionMajor = 11;
    EXPECT_EQ(port.open("ZELK"), SimProduct::Msfs2020);
    EXPECT_FALSE(port.createsWithEx1()); // the plain create on MSFS 2020 even when the export exists
    port.createAi(AiCreateCommand{{}, "N1", "Title", 20000}, 1);
    EXPECT_EQ(lib.creates.back(), "plain Title");

    lib.versionMajor = 10;
    EXPECT_EQ(port.open("ZELK"), SimProduct::None);
    EXPECT_NE(log().find("is neither MSFS 2020 nor MSFS 2024"), std::string::npos);

    lib.answerOpen = false;
    EXPECT_EQ(port.open("ZELK"), SimProduct::None);
    std::vector<SimEvent> none;
    EXPECT_EQ(port.dispatch(none), kPortNotConnected);

    SimConnectPort old(fakeApi(false), noWait());
    lib.answerOpen = true;
    lib.versionMajor = 12;
    EXPECT_EQ(old.open("ZELK"), SimProduct::Msfs2024);
    old.createAi(AiCreateCommand{{}, "N1", "Title", 20000}, 1);
    EXPECT_EQ(lib.creates.back(), "plain Title");
}

TEST_F(SimConnectPortTest, CreatesAreAnsweredByRequestIdAndRefusedBySendId)
{
    SimConnectPort port(fakeApi(true), noWait());
    ASSERT_EQ(port.open("ZELK"), SimProduct::Msfs2024);
    lib.packets = 40;
    ASSERT_EQ(port.createAi(AiCreateCommand{{}, "N1", "A", 20000}, 7), kPortOk); // packet 41
    ASSERT_EQ(port.createAi(AiCreateCommand{{}, "N2", "B", 20001}, 8), kPortOk); // packet 42
    lib.queue.push_back(Record(sc::RecvId::AssignedObjectId, sc::assigned::kSize)
                            .put(sc::assigned::kRequestId, std::uint32_t{7})
                            .put(sc::assigned::kObjectId, std::uint32_t{500}));
    lib.queue.push_back(Record(sc::RecvId::Exception, sc::exception::kSize)
                            .put(sc::exception::kException, std::uint32_t{22})
                            .put(sc::exception::kSendId, std::uint32_t{42}));
    // Not ours to match: logged, and the run goes on.
    lib.queue.push_back(Record(sc::RecvId::Exception, sc::exception::kSize)
                            .put(sc::exception::kException, std::uint32_t{7})
                            .put(sc::exception::kSendId, std::uint32_t{41}));
    const auto events = dispatch(port);
    ASSERT_EQ(events.size(), 2u);
    const auto* created = std::get_if<sim_event::AiCreated>(&events[0]);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->requestId, 7u);
    EXPECT_EQ(created->objectId, 500u);
    const auto* refused = std::get_if<sim_event::AiCreateRefused>(&events[1]);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->requestId, 8u);
    EXPECT_EQ(refused->code, 22u);
    EXPECT_NE(log().find("SimConnect exception 7 for packet 41"), std::string::npos);
}

TEST_F(SimConnectPortTest, UnknownAirportEndsTheFacilityReadAtOnce)
{
    SimConnectPort port(fakeApi(true), noWait());
    int sleeps = 0;
    FacilityReaderTiming timing;
    timing.sleep = [&](std::chrono::milliseconds) {
        ++sleeps;
        if (sleeps == 1)
            lib.queue.push_back(Record(sc::RecvId::Exception, sc::exception::kSize)
                                    .put(sc::exception::kException, std::uint32_t{20})
                                    .put(sc::exception::kSendId, lib.packets));
    };
    timing.timeout = std::chrono::milliseconds(30000);
    FacilityReader reader(port, timing);
    const auto data = reader.read(IcaoCode("XXXX"));
    ASSERT_TRUE(data.has_value());
    EXPECT_FALSE(data->found);
    EXPECT_EQ(sleeps, 1);
}

TEST_F(SimConnectPortTest, FacilityDataBecomesRunwaysStandsAndHelipads)
{
    SimConnectPort port(fakeApi(true), noWait());
    ASSERT_EQ(port.open("PARKING_DATA_RDR"), SimProduct::Msfs2024);
    ASSERT_EQ(port.requestFacilities(IcaoCode("LSZH"), 5), kPortOk);
    constexpr std::size_t d = sc::facility::kData;
    const auto item = [](std::uint32_t type, std::uint32_t unique, std::uint32_t parent, std::size_t size) {
        return Record(sc::RecvId::FacilityData, d + size)
            .put(sc::facility::kUserRequestId, std::uint32_t{5})
            .put(sc::facility::kUniqueRequestId, unique)
            .put(sc::facility::kParentUniqueRequestId, parent)
            .put(sc::facility::kType, type);
    };
    lib.queue.push_back(item(0, 1, 0, 56).put(d, 47.0).put(d + 8, 8.0).put(d + 16, 432.0).text(d + 24, "Zurich"));
    lib.queue.push_back(item(1, 2, 1, 52)
                            .put(d, 47.01)
                            .put(d + 8, 8.01)
                            .put(d + 16, 100.0)
                            .put(d + 24, 95.5f)
                            .put(d + 28, 3300.0f)
                            .put(d + 32, 60.0f)
                            .put(d + 36, std::int32_t{10})
                            .put(d + 40, std::int32_t{1})
                            .put(d + 44, std::int32_t{28})
                            .put(d + 48, std::int32_t{2}));
    lib.queue.push_back(item(23, 3, 2, 4).put(d, 150.0f));
    lib.queue.push_back(item(23, 4, 2, 4).put(d, 0.0f));
    lib.queue.push_back(item(15, 5, 1, 32)
                            .put(d, std::int32_t{9})
                            .put(d + 4, std::int32_t{12})
                            .put(d + 8, std::int32_t{13})
                            .put(d + 12, std::uint32_t{12})
                            .put(d + 16, 270.0f)
                            .put(d + 20, 20.0f)
                            .put(d + 24, 0.0f)
                            .put(d + 28, 1852.0f));
    lib.queue.push_back(item(4, 6, 1, 36).put(d, 47.02).put(d + 8, 8.02).put(d + 28, 30.0f).put(d + 32, 20.0f));
    lib.queue.push_back(Record(sc::RecvId::FacilityDataEnd, sc::facility::kEndSize)
                            .put(sc::facility::kEndRequestId, std::uint32_t{5}));
    const auto events = dispatch(port);
    ASSERT_EQ(events.size(), 1u);
    const auto* f = std::get_if<sim_event::Facilities>(&events[0]);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->found);
    EXPECT_EQ(f->airportName, "Zurich");
    EXPECT_DOUBLE_EQ(f->latitude, 47.0);
    EXPECT_DOUBLE_EQ(f->longitude, 8.0);
    EXPECT_NEAR(f->altitudeFt, 1417.32, 0.01); // 432 m
    ASSERT_EQ(f->runways.size(), 1u);
    EXPECT_EQ(f->runways[0].primary, "10L");
    EXPECT_EQ(f->runways[0].secondary, "28R");
    EXPECT_DOUBLE_EQ(f->runways[0].primaryThresholdM, 150.0);
    EXPECT_DOUBLE_EQ(f->runways[0].secondaryThresholdM, 0.0);
    EXPECT_NEAR(f->runways[0].altitudeFt, 328.08, 0.01);
    ASSERT_EQ(f->stands.size(), 1u);
    EXPECT_EQ(f->stands[0].name, "GATE A12B");
    EXPECT_NEAR(f->stands[0].latitude, 47.0 + 1.0 / 60.0, 1e-4); // one NM north of the reference point
    EXPECT_NEAR(f->stands[0].longitude, 8.0, 1e-9);
    EXPECT_EQ(f->stands[0].type, 9u);
    ASSERT_EQ(f->helipads.size(), 1u);
    EXPECT_DOUBLE_EQ(f->helipads[0].lengthM, 30.0);
}

// Facility records byte for byte as the SDK header lays them out, written
// with the header's numbers here rather than the declarations under test:
// SIMCONNECT_RECV (size, version, id), then UserRequestId, UniqueRequestId,
// ParentUniqueRequestId, Type, IsListItem, ItemIndex and ListSize, all DWORDs,
// so the data begin at byte 40; FACILITY_DATA is id 28 and FACILITY_DATA_END 29.
Record headerFacilityRecord(std::uint32_t request, std::uint32_t unique, std::uint32_t parent, std::uint32_t type,
                            std::uint32_t listIndex, std::uint32_t listSize, std::size_t dataSize)
{
    Record r(static_cast<sc::RecvId>(28), 40 + dataSize);
    for (const auto& [offset, value] : {std::pair<std::size_t, std::uint32_t>{12, request}, {16, unique},
                                        {20, parent}, {24, type}, {28, listSize > 0 ? 1u : 0u}, {32, listIndex},
                                        {36, listSize}})
        r.put(offset, value);
    return r;
}

TEST_F(SimConnectPortTest, RecordsLaidOutAsTheHeaderHasThemGiveTheAirport)
{
    SimConnectPort port(fakeApi(true), noWait());
    ASSERT_EQ(port.open("PARKING_DATA_RDR"), SimProduct::Msfs2024);
    ASSERT_EQ(port.requestFacilities(IcaoCode("LSZH"), 3), kPortOk);
    // AIRPORT: latitude, longitude, altitude (m), NAME[32].
    lib.queue.push_back(
        headerFacilityRecord(3, 1, 0, 0, 0, 0, 56).put(40, 47.458).put(48, 8.548).put(56, 431.6).text(64, "Zurich"));
    // RUNWAY: latitude, longitude, altitude, heading, length, width, then the
    // four end codes; its two thresholds follow as its children.
    lib.queue.push_back(headerFacilityRecord(3, 2, 1, 1, 0, 1, 52)
                            .put(40, 47.457)
                            .put(48, 8.544)
                            .put(56, 431.6)
                            .put(64, 95.6f)
                            .put(68, 2500.0f)
                            .put(72, 60.0f)
                            .put(76, std::int32_t{10})
                            .put(80, std::int32_t{0})
                            .put(84, std::int32_t{28})
                            .put(88, std::int32_t{0}));
    lib.queue.push_back(headerFacilityRecord(3, 3, 2, 23, 0, 0, 4).put(40, 0.0f));
    lib.queue.push_back(headerFacilityRecord(3, 4, 2, 23, 0, 0, 4).put(40, 300.0f));
    // TAXI_PARKING: type, name, suffix, number, heading, radius, bias x and z.
    struct Stand {
        std::int32_t name;
        std::int32_t suffix;
        std::uint32_t number;
        const char* expected;
    };
    const Stand stands[] = {
        {12, 0, 12, "GATE A12"},   {12, 12, 12, "GATE A12A"}, {13, 26, 3, "GATE B3O"}, {10, 27, 7, "GATE 7P"},
        {37, 37, 40, "GATE Z40Z"}, {1, 0, 5, "PARKING 5"},    {0, 0, 9, "9"},
    };
    std::uint32_t unique = 5;
    for (std::uint32_t i = 0; i < std::size(stands); ++i)
        lib.queue.push_back(headerFacilityRecord(3, unique++, 1, 15, i, std::size(stands), 32)
                                .put(40, std::int32_t{9})
                                .put(44, stands[i].name)
                                .put(48, stands[i].suffix)
                                .put(52, stands[i].number)
                                .put(56, 220.0f)
                                .put(60, 24.0f)
                                .put(64, 100.0f * static_cast<float>(i))
                                .put(68, 50.0f));
    lib.queue.push_back(Record(static_cast<sc::RecvId>(29), 16).put(12, std::uint32_t{3}));

    const auto events = dispatch(port);
    ASSERT_EQ(events.size(), 1u);
    const auto* f = std::get_if<sim_event::Facilities>(&events[0]);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->found);
    EXPECT_EQ(f->airportName, "Zurich");
    EXPECT_DOUBLE_EQ(f->latitude, 47.458);
    EXPECT_DOUBLE_EQ(f->longitude, 8.548);
    EXPECT_NEAR(f->altitudeFt, 1416.0, 0.1);
    ASSERT_EQ(f->runways.size(), 1u);
    EXPECT_EQ(f->runways[0].primary, "10");
    EXPECT_EQ(f->runways[0].secondary, "28");
    EXPECT_FLOAT_EQ(static_cast<float>(f->runways[0].heading), 95.6f);
    EXPECT_DOUBLE_EQ(f->runways[0].lengthM, 2500.0);
    EXPECT_DOUBLE_EQ(f->runways[0].secondaryThresholdM, 300.0);
    ASSERT_EQ(f->stands.size(), std::size(stands));
    for (std::size_t i = 0; i < std::size(stands); ++i) {
        EXPECT_EQ(f->stands[i].name, stands[i].expected);
        EXPECT_EQ(f->stands[i].type, 9u);
        EXPECT_DOUBLE_EQ(f->stands[i].heading, 220.0);
        EXPECT_DOUBLE_EQ(f->stands[i].radiusM, 24.0);
        // 50 m north and 100 m east per stand of the reference point.
        EXPECT_NEAR(f->stands[i].latitude, 47.458 + 50.0 / 111120.0, 2e-5) << stands[i].expected;
    }
    EXPECT_GT(f->stands[1].longitude, f->stands[0].longitude);
}

TEST_F(SimConnectPortTest, RecordsAreReadAtTheirOffsets)
{
    SimConnectPort port(fakeApi(true), noWait());
    ASSERT_EQ(port.open("ZELK"), SimProduct::Msfs2024);
    constexpr std::size_t d = sc::objectData::kData;
    UserAcPosition position;
    position.latitude = 47.45;
    position.zuluYear = 2026;
    position.gpsGroundTrueTrack = 123.0;
    lib.queue.push_back(Record(sc::RecvId::SimObjectData, d + sizeof position)
                            .put(sc::objectData::kRequestId, std::uint32_t{4})
                            .put(d, position));
    // A short record is dropped, not read past its end.
    lib.queue.push_back(Record(sc::RecvId::SimObjectData, d + 8).put(sc::objectData::kRequestId, std::uint32_t{4}));
    const auto entry = [](std::uint32_t n, std::uint32_t objectId, const char* atc, std::int32_t isUser) {
        return Record(sc::RecvId::SimObjectDataByType, d + 56)
            .put(sc::objectData::kRequestId, std::uint32_t{7})
            .put(sc::objectData::kObjectId, objectId)
            .put(sc::objectData::kEntryNumber, n)
            .put(sc::objectData::kOutOf, std::uint32_t{2})
            .text(d, atc)
            .put(d + 32, std::int32_t{1})
            .put(d + 36, 1400.0)
            .put(d + 44, 3.5)
            .put(d + 52, isUser);
    };
    lib.queue.push_back(entry(1, 1, "HB-USR", 1));
    lib.queue.push_back(entry(2, 600, "N123", 0));
    lib.queue.push_back(Record(sc::RecvId::EventFilename, sc::event::kFileNameSize)
                            .put(sc::event::kEventId, std::uint32_t{4})
                            .text(sc::event::kFileName, "flights\\LSZH.FLT"));
    const auto events = dispatch(port);
    ASSERT_EQ(events.size(), 3u);
    const auto* p = std::get_if<sim_event::UserPosition>(&events[0]);
    ASSERT_NE(p, nullptr);
    EXPECT_DOUBLE_EQ(p->position.latitude, 47.45);
    EXPECT_EQ(p->position.zuluYear, 2026);
    EXPECT_DOUBLE_EQ(p->position.gpsGroundTrueTrack, 123.0);
    const auto* range = std::get_if<sim_event::AiInRange>(&events[1]);
    ASSERT_NE(range, nullptr);
    ASSERT_EQ(range->aircraft.size(), 2u);
    EXPECT_TRUE(range->aircraft[0].isUser);
    EXPECT_EQ(range->aircraft[1].atcId, "N123");
    EXPECT_EQ(range->aircraft[1].objectId, 600u);
    EXPECT_TRUE(range->aircraft[1].onGround);
    EXPECT_DOUBLE_EQ(range->aircraft[1].groundAltitudeFt, 1400.0);
    EXPECT_DOUBLE_EQ(range->aircraft[1].heightAboveGroundFt, 3.5);
    const auto* loaded = std::get_if<sim_event::FlightLoaded>(&events[2]);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->file, "flights\\LSZH.FLT");
}

TEST(SimConnectLibrary, LoadsOnlyByFullPath)
{
    const std::filesystem::path program = std::filesystem::absolute("zelk-program");
    const auto paths = gf_simConnectCandidates(program, [](const char* name) -> std::optional<std::string> {
        if (std::string(name) == "MSFS2024_SDK")
            return "relative/sdk";
        return path_to_utf8(std::filesystem::absolute("sdk"));
    });
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], program / "SimConnect.dll");
    EXPECT_EQ(paths[1], std::filesystem::absolute("sdk") / "SimConnect SDK" / "lib" / "SimConnect.dll");
    EXPECT_TRUE(gf_simConnectCandidates({}, {}).empty());
}

} // namespace
} // namespace zelk

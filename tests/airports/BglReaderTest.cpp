#include "airports/BglReader.h"

#include <algorithm>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/BglWalk.h"
#include "airports/ScanLog.h"
#include "airports/SceneryTestSupport.h"
#include "support/BglWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace zelk;
using namespace zelk::test;

std::span<const unsigned char> bytesOf(const std::string& s)
{
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

std::string gates(std::initializer_list<BglParking> entries) { return bglParkingList(entries); }

std::vector<std::string> namesOf(const BglAirport& a)
{
    std::vector<std::string> names;
    for (const auto& s : a.stands)
        names.push_back(s.name);
    return names;
}

class BglReader : public SceneryTest {
protected:
    void SetUp() override
    {
        SceneryTest::SetUp();
        lf_clearScanLog();
    }
    void TearDown() override
    {
        lf_clearScanLog();
        SceneryTest::TearDown();
    }
    std::vector<BglAirport> read(const std::string& file)
    {
        std::vector<BglAirport> taken;
        lf_processBglBytes(bytesOf(file), "test.bgl", {nullptr, [&](BglAirport& a) { taken.push_back(a); }});
        return taken;
    }
    bool scanLogHas(const std::string& line) const
    {
        const auto& lines = lf_scanLogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(BglReader, EveryStructuralFaultHasItsCodeOffsetAndMessage)
{
    const std::string airport = bglAirportRecord("EDDF", 0, gates({{}}));
    struct Case {
        std::uint8_t code;
        std::function<std::uint64_t(BglLayout&)> spoil; // returns the expected offset
        std::string message;
    };
    const std::vector<Case> cases{
        {0, [](BglLayout& l) { l.bytes.resize(40); return 0; }, ""},
        {1, [](BglLayout& l) { bglPutU32(l.bytes, 4, 60); return 4; }, ""},
        {2, [](BglLayout& l) { bglPutU32(l.bytes, 20, 1000); return 56; }, "BGL section table exceeds the file"},
        {3, [](BglLayout& l) { bglPutU32(l.bytes, 76 + 12, static_cast<std::uint32_t>(l.bytes.size() + 4));
                               return l.bytes.size() + 4; }, "Airport subsection table exceeds the file"},
        {4, [](BglLayout& l) { bglPutU32(l.bytes, l.descriptors[1][0] + 12, 100000); return l.dataOffsets[1][0]; },
         "Airport subsection data exceeds the file"},
        {5, [](BglLayout& l) { // the first section claims the first 16 of the second's 20 table bytes
             bglPutU32(l.bytes, 56, 3);
             bglPutU32(l.bytes, 56 + 12, static_cast<std::uint32_t>(l.tableOffsets[1]));
             return l.tableOffsets[1]; }, "Airport subsection tables overlap"},
        {6, [](BglLayout& l) { bglPutU32(l.bytes, l.descriptors[1][0] + 4, 1000); return l.descriptors[1][0]; },
         "Airport subsection record count cannot fit in its data block"},
        {7, [&](BglLayout& l) { bglPutU32(l.bytes, l.descriptors[1][0] + 4, 3); // count 3, but the last 2 bytes...
             bglPutU32(l.bytes, l.dataOffsets[1][0] + 8 + 2, static_cast<std::uint32_t>(airport.size() - 4));
             return l.dataOffsets[1][0] + 8 + airport.size() - 4; }, "Airport section record header exceeds its subsection"},
        {8, [](BglLayout& l) { bglPutU32(l.bytes, l.dataOffsets[1][0] + 2, 10); return l.dataOffsets[1][0]; },
         "Airport section record has an invalid size"},
        {9, [](BglLayout& l) { bglPutU32(l.bytes, l.dataOffsets[1][0] + 2, 1 << 20); return l.dataOffsets[1][0]; },
         "Airport section record exceeds its subsection"},
        {10, [](BglLayout& l) { bglPutU32(l.bytes, l.descriptors[1][0] + 4, 1); return l.dataOffsets[1][0] + 8; },
         "Airport subsection record count does not consume its complete data block"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        BglLayout layout = oneAirportFile(airport);
        const std::uint64_t offset = c.spoil(layout);
        const auto walk = lf_walkBglAirportSections(bytesOf(layout.bytes));
        ASSERT_TRUE(walk.error.has_value());
        EXPECT_EQ(walk.error->code, c.code);
        EXPECT_EQ(walk.error->offset, offset);

        writeAll(file("x.bgl"), layout.bytes);
        const std::string before = log();
        lf_processBGLfile("x.bgl", {nullptr, [](BglAirport&) { FAIL() << "nothing of a faulty file is used"; }});
        const std::string logged = log().substr(before.size());
        if (c.code < 2)
            EXPECT_EQ(logged, "");
        else
            EXPECT_EQ(logged, fmt::format("==> BGL airport section parse error at byte {} in 'x.bgl': {}\n", offset,
                                          c.message));
    }
    // Two airport sections sharing one table: the second is passed over.
    BglLayout shared = oneAirportFile(airport);
    bglPutU32(shared.bytes, 56, 3);
    bglPutU32(shared.bytes, 56 + 4, 0x10000);
    bglPutU32(shared.bytes, 56 + 8, 1);
    bglPutU32(shared.bytes, 56 + 12, static_cast<std::uint32_t>(shared.tableOffsets[1]));
    EXPECT_EQ(read(shared.bytes).size(), 1u);
}

TEST_F(BglReader, ReadsAnAirportRecordWithItsStandsAndHelipads)
{
    const std::string subrecords = eddfSubrecords();
    const auto taken = read(oneAirportFile(bglAirportRecord("EDDF", -3353, subrecords)).bytes);
    ASSERT_EQ(taken.size(), 1u);
    const BglAirport& a = taken[0];
    EXPECT_EQ(a.icao, IcaoCode("EDDF"));
    EXPECT_EQ(a.altitudeFt, -11);
    EXPECT_EQ(a.helipadCount, 2u);
    const auto names = namesOf(a);
    ASSERT_EQ(names.size(), 2u + 14 + 7 + 11);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"helipad1", "helipad2", "GATE 2", "GATE 3"}));
    EXPECT_EQ(std::count(names.begin(), names.end(), "GATE 14"), 0); // VEHICLE
    EXPECT_EQ(std::vector<std::string>(names.begin() + 16, names.begin() + 23),
              (std::vector<std::string>{"5", "PARKING 5", "NW_PARKING 5", "DOCK 5", "GATE A5", "GATE Z5", "5a"}));
    EXPECT_EQ(names[23], "GATE 70");
    EXPECT_EQ(names.back(), "GATE 70j");
    EXPECT_TRUE(scanLogHas("===> Warning: more than 10 duplicate IDs GATE 70"));
    EXPECT_TRUE(scanLogHas("LatLon 0.000000,0.000000 invalid (skipped)"));
    EXPECT_TRUE(scanLogHas(fmt::format("double helipad  (skipped) {:.6f},{:.6f}", a.stands[0].latitude,
                                       a.stands[0].longitude)));

    const ParkPos& pad = a.stands[0];
    EXPECT_EQ(pad.helipad, 1);
    EXPECT_NEAR(pad.radius, 15.0 / 1852, 1e-12);
    EXPECT_NEAR(pad.latitude, 50.01, 1e-6);
    EXPECT_NEAR(pad.longitude, 8.51, 1e-6);
    const ParkPos& cargo = a.stands[2 + 4];   // type 5
    EXPECT_EQ(cargo.type, StandType::RAMP_CARGO);
    EXPECT_TRUE(cargo.cargo && !cargo.ramp);
    EXPECT_TRUE(a.stands[2].ramp);            // type 1
    EXPECT_DOUBLE_EQ(a.stands[2].heading, std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(a.stands[23].heading, 2 * std::numbers::pi);
    EXPECT_NEAR(a.stands[23].radius, 30.0 / 1852, 1e-12);

    // The same airport in an unaligned data block reads the same stands.
    const auto shifted = read(oneAirportFile(bglAirportRecord("EDDF", -3353, subrecords), 2).bytes);
    ASSERT_EQ(shifted.size(), 1u);
    EXPECT_EQ(namesOf(shifted[0]), names);
}

// Airports the reader cannot use are named in the scan log and counted, so the
// user can tell why a scenery gave no stands.
TEST_F(BglReader, UnreadAirportRecordsAndAirportsWithoutStandsAreNamedAndCounted)
{
    lf_resetBglReadCounts();
    struct Case {
        const char* name;
        std::string file;
        std::string line; // expected in the scan log; empty: none
        std::uint64_t unread, withoutStands;
    };
    const std::string msfs2024 = bglRecord(0x0113, std::string(60, '\x01'));
    const std::string p3d = bglRecord(0xAB, std::string(60, '\x02'));
    const Case cases[] = {
        {"MSFS 2024 airport", oneAirportFile(msfs2024).bytes,
         "Airport records of id 0x0010, 0x0113 are not read in 'test.bgl'", 1, 0},
        {"P3D airports", bglBuild({BglSection{3, false, {{{p3d, p3d}}}}}).bytes,
         "Airport records of id 0x00AB are not read in 'test.bgl'", 2, 0},
        {"airport without stands", oneAirportFile(bglAirportRecord("EDDF", 0, bglOtherSubrecord(0xCE, 52))).bytes,
         "EDDF in 'test.bgl' has no stands", 2, 1},
        {"airport with stands", oneAirportFile(bglAirportRecord("EDDF", 0, gates({{}}))).bytes, "", 2, 1},
        {"no airport section", bglBuild({BglSection{9, false, {{{p3d}}}}}).bytes, "", 2, 1},
    };
    for (const Case& c : cases) {
        lf_clearScanLog();
        read(c.file);
        if (c.line.empty())
            EXPECT_TRUE(lf_scanLogLines().empty()) << c.name << ": " << lf_scanLogLines().front();
        else
            EXPECT_TRUE(scanLogHas(c.line)) << c.name;
        EXPECT_EQ(lf_bglReadCounts().unreadRecordFiles, c.unread) << c.name;
        EXPECT_EQ(lf_bglReadCounts().airportsWithoutStands, c.withoutStands) << c.name;
    }
    lf_resetBglReadCounts();
    EXPECT_EQ(lf_bglReadCounts().unreadRecordFiles, 0u);
}

TEST_F(BglReader, APartOutsideItsParentDropsTheWholeRecordButNotItsNeighbour)
{
    const std::string egll = bglAirportRecord("EGLL", 25000, gates({{10, 9, 1}, {10, 9, 2}}));
    std::string lyingCount = bglParkingList({{10, 9, 1}});
    bglPutU16(lyingCount, 6, 2); // a second entry would be read from EGLL
    {
        const std::string eddf = bglAirportRecord("EDDF", 0, lyingCount);
        const BglLayout l = bglBuild({BglSection{3, false, {{{eddf, egll}}}}});
        const std::string before = log();
        const auto taken = read(l.bytes);
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(taken[0].icao, IcaoCode("EGLL"));
        EXPECT_EQ(namesOf(taken[0]), (std::vector<std::string>{"GATE 1", "GATE 2"}));
        EXPECT_NE(log().substr(before.size()).find(fmt::format("==> Airport record of EDDF at byte {} in 'test.bgl' skipped: ",
                                                               l.dataOffsets[0][0])),
                  std::string::npos);
    }
    // A record of more sub-records than a walk takes: its stands so far stay,
    // and the notice is valid UTF-8.
    std::string many = bglHelipad(50.0, 8.5, 10.0f);
    for (int i = 0; i < 9000; ++i)
        many += bglOtherSubrecord(0xCE, 8);
    const auto capped = read(bglBuild({BglSection{3, false, {{{bglAirportRecord("EDDF", 0, many + gates({{}}))}}}}}).bytes);
    ASSERT_EQ(capped.size(), 1u);
    EXPECT_EQ(namesOf(capped[0]), std::vector<std::string>{"helipad1"});
    EXPECT_NE(log().find("==> Error: Maximum loop iterations reached (1) \xE2\x80\x94 possible corrupt SIA or malformed "
                         "input\n"),
              std::string::npos);

    // Shorter than the 68 bytes of an airport record, though the ICAO fits.
    std::string shortRecord = bglRecord(0x56, std::string(42, '\0'));
    bglPutU32(shortRecord, 40, lf_encodeBglIdentifier("EDDF"));
    EXPECT_TRUE(read(bglBuild({BglSection{3, false, {{{shortRecord}}}}}).bytes).empty());
}

// A sub-record whose size is no size or passes the end of its airport record
// ends the walk with a boundary line; the stands read before it stay.
TEST_F(BglReader, ADamagedSubrecordEndsTheWalkAndKeepsTheStandsReadBefore)
{
    const std::string pad = bglHelipad(50.0, 8.5, 10.0f);
    struct Case {
        const char* what;
        std::string subrecords;
        std::uint64_t damagedAt; // offset of the damaged sub-record in the list
        bool helipad;            // the damaged one is a helipad (a notice)
        std::vector<std::string> kept;
    };
    std::vector<Case> cases{
        {"a sub-record passing the record's end", pad + bglOtherSubrecord(0xCE, 52) + gates({{10, 9, 1}}), pad.size(),
         false, {"helipad1"}},
        {"a helipad of size 2", pad + bglHelipad(50.1, 8.6, 10.0f) + gates({{10, 9, 1}}), pad.size(), true,
         {"helipad1"}},
        {"the first sub-record passing the end", pad + gates({{10, 9, 1}}), 0, true, {}},
    };
    bglPutU32(cases[0].subrecords, pad.size() + 2, 4000);
    bglPutU32(cases[1].subrecords, pad.size() + 2, 2);
    bglPutU32(cases[2].subrecords, 2, 400);
    for (const Case& c : cases) {
        lf_clearScanLog();
        const BglLayout l = oneAirportFile(bglAirportRecord("EDDF", 0, c.subrecords));
        const std::string before = log();
        const auto taken = read(l.bytes);
        const std::string lines = log().substr(before.size());
        const std::uint64_t o3 = (l.dataOffsets[1][0] + 8 + 68 + c.damagedAt) / 4;
        const std::string boundary = fmt::format("   Warning: invalid record boundary at o3 = {}\n", o3);
        EXPECT_NE(lines.find(boundary), std::string::npos) << c.what << "\n" << lines;
        EXPECT_EQ(lines.find("==> " + boundary) != std::string::npos, c.helipad) << c.what << "\n" << lines;
        EXPECT_EQ(lines.find("skipped"), std::string::npos) << c.what << "\n" << lines;
        if (c.kept.empty()) {
            EXPECT_TRUE(taken.empty()) << c.what;
            EXPECT_TRUE(scanLogHas("EDDF in 'test.bgl' has no stands")) << c.what;
            continue;
        }
        ASSERT_EQ(taken.size(), 1u) << c.what;
        EXPECT_EQ(namesOf(taken[0]), c.kept) << c.what;
    }
}

TEST_F(BglReader, ACutOrDamagedFileGivesTheWholeAirportOrNoneAndNeverCrashes)
{
    const std::string file = oneAirportFile(bglAirportRecord("EDDF", 1000, bglHelipad(50.0, 8.5, 10.0f) +
                                                                            bglHelipad(50.1, 8.6, 10.0f) +
                                                                            gates({{10, 9, 1}, {1, 2, 2}})))
                                 .bytes;
    const auto whole = read(file);
    ASSERT_EQ(whole.size(), 1u);
    const auto wholeNames = namesOf(whole[0]);
    for (std::size_t length = 0; length < file.size(); ++length) {
        const auto taken = read(file.substr(0, length));
        ASSERT_TRUE(taken.empty() || namesOf(taken[0]) == wholeNames) << length;
    }
    for (std::size_t i = 0; i < file.size(); ++i)
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string damaged = file;
            damaged[i] = static_cast<char>(damaged[i] ^ flip);
            EXPECT_NO_THROW(read(damaged)) << i;
        }
}

TEST_F(BglReader, QuickTestAndPackedValues)
{
    const std::string airport = oneAirportFile(bglAirportRecord("EDDF", 0, "")).bytes;
    std::string empty(56, '\0');
    bglPutU32(empty, 4, 56);
    std::string noAirport = bglBuild({BglSection{9, false, {}}}).bytes;
    std::string hugeCount = airport;
    bglPutU32(hugeCount, 20, 1000);
    for (const auto& [bytes, expected] : std::vector<std::pair<std::string, bool>>{
             {airport, true}, {empty, false}, {noAirport, false}, {hugeCount, false}}) {
        writeAll(file("q.bgl"), bytes);
        EXPECT_EQ(lf_bglHasAirportSection("q.bgl"), expected);
    }
    EXPECT_TRUE(lf_walkBglAirportSections(bytesOf(empty)).records.empty());
    EXPECT_FALSE(lf_walkBglAirportSections(bytesOf(empty)).error.has_value());

    for (const auto& [mm, feet] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {3048000, 10000}, {3100000, 0}, {-3353, -11}, {-6400, 0}})
        EXPECT_EQ(lf_bglAltitudeFeet(mm), feet) << mm;
    EXPECT_FALSE(lf_decodeBglIdentifier(0).has_value());
    EXPECT_EQ(lf_decodeBglIdentifier(lf_encodeBglIdentifier("X1Z")), "X1Z");
    EXPECT_DOUBLE_EQ(lf_bglLatitude(0x10000000), 0.0);
    EXPECT_DOUBLE_EQ(lf_bglLongitude(0x18000000), 0.0);
    EXPECT_DOUBLE_EQ(lf_bglLatitude(0), 90.0);
}

} // namespace

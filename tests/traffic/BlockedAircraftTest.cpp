#include "traffic/BlockedAircraft.h"

#include <gtest/gtest.h>

#include "core/Settings.h"

namespace zelk {
namespace {

class BlockedAircraftCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsSnapshot s;
        s.blocked.BLOCK_AIRCRAFT = "KLM123, PH-BXA, 484506, oid=7";
        s.blocked.BLOCK_CALLSIGN = "KLM123";
        s.blocked.BLOCK_REGCODE = "PH-BXA";
        s.blocked.BLOCK_HEXIDDEC = 0x484506;
        gf_publishSettings(s);
    }
    void TearDown() override { gf_publishSettings(SettingsSnapshot{}); }

    static TrafficRecord recordOf(std::string callsign, std::string registration, std::uint32_t hexId)
    {
        TrafficRecord r;
        r.head.callsign = std::move(callsign);
        r.head.registration = std::move(registration);
        r.hexId = hexId;
        return r;
    }
    static BlockedAircraft blocked() { return gf_settings()->blocked; }
};

// Against the blocked KLM123 / PH-BXA / 484506: what is dropped, and which
// identity the block follows afterwards.
TEST_F(BlockedAircraftCheck, DroppedByAnyOfItsIdsAndFollowed)
{
    struct Case {
        const char* callsign;
        const char* registration;
        std::uint32_t hexId;
        bool kept;
        std::uint32_t blockedHex;
        const char* blockedRegistration;
    };
    const Case cases[] = {
        {"DLH4", "D-AIZA", 0x3C0001, true, 0x484506, "PH-BXA"}, // another aircraft
        {"XYZ1", "", 0x484506, false, 0x484506, "PH-BXA"},      // same hex id
        {"KLM9", "PH-BXA", 0x484999, false, 0x484999, "PH-BXA"}, // same registration, new hex id
        {"KLM123", "PH-BXB", 0x484999, false, 0x484999, "PH-BXB"}, // same callsign: hex id and registration
    };
    for (const Case& c : cases) {
        SetUp();
        SCOPED_TRACE(c.callsign);
        EXPECT_EQ(gf_checkBlockedAircraft(recordOf(c.callsign, c.registration, c.hexId), blocked()), c.kept);
        EXPECT_EQ(blocked().BLOCK_HEXIDDEC, c.blockedHex);
        EXPECT_EQ(blocked().BLOCK_REGCODE, c.blockedRegistration);
        EXPECT_EQ(blocked().BLOCK_CALLSIGN, "KLM123");
    }
}

TEST_F(BlockedAircraftCheck, CallsignPrefixTakesTheWholeIdentity)
{
    gf_updateSettings([](SettingsSnapshot& s) {
        s.blocked.BLOCK_CALLSIGN = "KLM12_";
        s.blocked.BLOCK_REGCODE = "null";
        s.blocked.blockCallsignPrefix = true;
    });
    EXPECT_FALSE(gf_checkBlockedAircraft(recordOf("KLM12", "PH-BXC", 0x484777), blocked()));
    const BlockedAircraft now = blocked();
    EXPECT_EQ(now.BLOCK_CALLSIGN, "KLM12");
    EXPECT_EQ(now.BLOCK_HEXIDDEC, 0x484777u);
    EXPECT_EQ(now.BLOCK_REGCODE, "PH-BXC");
    EXPECT_FALSE(now.blockCallsignPrefix);
}

TEST_F(BlockedAircraftCheck, EmptyTextsNeverMatch)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.blocked.BLOCK_REGCODE = ""; });
    EXPECT_TRUE(gf_checkBlockedAircraft(recordOf("DLH4", "", 0x3C0001), blocked()))
        << "an aircraft without registration is not the blocked one";
    gf_updateSettings([](SettingsSnapshot& s) {
        s.blocked.BLOCK_CALLSIGN = "";
        s.blocked.BLOCK_REGCODE = "PH-BXA";
    });
    EXPECT_TRUE(gf_checkBlockedAircraft(recordOf("", "D-AIZA", 0x3C0002), blocked()));
    gf_updateSettings([](SettingsSnapshot& s) {
        s.blocked.BLOCK_CALLSIGN = "K";
        s.blocked.blockCallsignPrefix = true;
    });
    EXPECT_TRUE(gf_checkBlockedAircraft(recordOf("", "D-AIZA", 0x3C0003), blocked()))
        << "a one-character prefix leaves an empty text, which matches nothing";
    EXPECT_EQ(gf_settings()->blocked.BLOCK_HEXIDDEC, 0x484506u);
}

TEST_F(BlockedAircraftCheck, UnknownRegistrationIsLearnedFromTheSameHexId)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.blocked.BLOCK_REGCODE = "null"; });
    EXPECT_FALSE(gf_checkBlockedAircraft(recordOf("KLM123", "PH-BXD", 0x484506), blocked()));
    EXPECT_EQ(gf_settings()->blocked.BLOCK_REGCODE, "PH-BXD");
}

TEST(BlockedAcEntry, ParsesTheSelectorTextOrRefusesIt)
{
    const auto e = gf_parseBlockedAcEntry("KLM123, PH-BXA, 484506, oid=12");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->callsign, "KLM123");
    EXPECT_EQ(e->registration, "PH-BXA");
    EXPECT_EQ(e->hexId, 0x484506u);

    const auto upper = gf_parseBlockedAcEntry("X1,,FFFFFFFF,");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->registration, "");
    EXPECT_EQ(upper->hexId, 0xFFFFFFFFu);

    for (const char* bad : {"KLM123,PH-BXA,484506", "KLM123,PH-BXA,484506,x,y", ",PH-BXA,484506,x",
                            "KLM123,PH-BXA,,x", "KLM123,PH-BXA,48450G,x", "KLM123,PH-BXA,100000000,x",
                            "KLM123,PH-BXA,0x10,x", "KLM123,PH-BXA,-1,x", ""}) {
        EXPECT_FALSE(gf_parseBlockedAcEntry(bad)) << bad;
    }
}

} // namespace
} // namespace zelk

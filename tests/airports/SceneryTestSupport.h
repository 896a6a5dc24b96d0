#pragma once

#include <string>
#include <vector>

#include "airports/AirportsRegistry.h"
#include "airports/WeeklyAirports.h"
#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {

// A logged working folder whose airports registry knows the given airports
// and whose weekly traffic list is empty (every airport has traffic).
class SceneryTest : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        installAirports({"EDDF", "EGLL", "EDDM", "KSEA", "VHHX", "LOWW"});
    }
    void TearDown() override
    {
        gf_resetAirportsRegistry();
        gf_clearWeeklyTrafficAirports();
        LoggedTempDirTest::TearDown();
    }
    void installAirports(const std::vector<std::string>& codes)
    {
        std::string xml = "<root><airports>";
        for (const auto& c : codes)
            xml += "<ap c=\"" + c + "\" la=\"50.0\" lo=\"8.5\" a=\"100\"/>";
        gf_writeEncryptedFile(xml + "</airports></root>", kAirportsFile);
        gf_resetAirportsRegistry();
        ASSERT_TRUE(gf_ensureAirportsLoaded().hasValue());
    }
    void installWeekly(const std::string& codes)
    {
        gf_writeEncryptedFile("<root><traffic_airports><arp c=\"" + codes + "\"/></traffic_airports></root>",
                              kWkTrafficFile);
        ASSERT_EQ(gf_loadWeeklyTrafficAirports(), 1);
    }
};

} // namespace zelk::test

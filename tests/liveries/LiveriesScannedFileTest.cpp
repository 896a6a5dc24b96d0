#include "liveries/LiveriesScannedFile.h"
#include "core/ParameterXml.h"
#include "core/MetaInfo.h"
#include "core/BuildInfo.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"
#include "liveries/CodeTables.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

class LiveriesScannedFile : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        fs::create_directories(kOutputFolder);
        ProgramMode mode = *gf_programMode();
        mode.simulator = kSimulatorMsfs2024;
        gf_storeProgramMode(mode);
    }

    std::vector<LiveryRecord> records() const
    {
        return {
            {"AIG A320 Lufthansa", "D-AIBA", {gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 0, 1}, 2},
            {"AIG B744 UPS & \"Cargo\" <x>", "", {gf_airlineCode2Index("UPS"), 0, gf_modelCode2Index("B744"), 1, 0}, 1},
            {"AIG A320 Condor \xC3\xA9", "", {gf_airlineCode2Index("CFG"), gf_airlineCode2Index("DLH"),
                                             gf_modelCode2Index("A320"), 0, 0}, 1},
        };
    }
    // The file of these records as the document writer writes it, node by node.
    static std::string writersBytes(const std::vector<LiveryRecord>& written)
    {
        pugi::xml_document doc;
        MetaInfo meta;
        meta.version = kProgramVersionText;
        meta.sim = 2;
        EXPECT_TRUE(gf_writeMetaInfo(doc, meta));
        pugi::xml_node liveries = doc.child("root").append_child("liveries");
        for (const LiveryRecord& r : written) {
            pugi::xml_node l = liveries.append_child("l");
            l.append_attribute("a").set_value(std::string(gf_airlineCodeText(r.key.airline)).c_str());
            if (r.key.op != 0) l.append_attribute("o").set_value(std::string(gf_airlineCodeText(r.key.op)).c_str());
            l.append_attribute("m").set_value(std::string(gf_modelCodeText(r.key.model)).c_str());
            if (r.key.cargo != 0) l.append_attribute("c").set_value(true);
            l.append_attribute("t").set_value(r.title.c_str());
            if (!r.registration.empty()) l.append_attribute("r").set_value(r.registration.c_str());
        }
        EXPECT_TRUE(gf_saveXmlFile(doc, "expected.xml"));
        return test::readAll("expected.xml");
    }

    const fs::path target = kLiveriesScanned2024File;
    const fs::path temporary = fs::path(kLiveriesScanned2024File.string() + ".scan_tmp");
};

TEST_F(LiveriesScannedFile, WritesReplacesAndReadsBackEveryField)
{
    EXPECT_EQ(gf_liveriesScannedFile(), target);
    std::vector<LiveryRecord> written = records();
    test::writeAll(temporary, "stale");
    ASSERT_TRUE(gf_writeLiveriesScanned({written[0]})) << log();
    EXPECT_FALSE(fs::exists(temporary));
    ASSERT_TRUE(gf_writeLiveriesScanned(written)) << log();
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_NE(log().find("3 liveries in " + path_to_utf8(target)), std::string::npos);
    const std::string text = test::readAll(target);
    EXPECT_NE(text.find("<l a=\"DLH\" m=\"A320\" t=\"AIG A320 Lufthansa\" r=\"D-AIBA\" />"), std::string::npos) << text;
    EXPECT_NE(text.find("<l a=\"UPS\" m=\"B744\" c=\"true\" t="), std::string::npos) << text;
    EXPECT_NE(text.find("<l a=\"CFG\" o=\"DLH\" m=\"A320\" t="), std::string::npos) << text;

    gf_readLiveriesScanned();
    std::vector<LiveryRecord> read = gf_scannedLiveries();
    for (LiveryRecord& r : written) {
        r.priority = 0;
        r.key.valid = 0;
    }
    std::sort(written.begin(), written.end(), compareLiveryRecords);
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].title, written[i].title);
        EXPECT_EQ(read[i].registration, written[i].registration);
        EXPECT_EQ(read[i].key, written[i].key);
        EXPECT_EQ(read[i].priority, 0);
    }
}

// The file is the document the XML writer makes of the records, byte for byte,
// also for values it has to escape.
TEST_F(LiveriesScannedFile, BytesAreThoseOfTheDocumentWriter)
{
    std::vector<LiveryRecord> written = records();
    written.push_back({"AIG A320 \"Quoted\" & 'single' <tag> \t tab \x01 \x96 bytes", "N12'3",
                       {gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 1, 0}, 1});
    written.push_back({"AIG A320 R&D", "", {gf_airlineCode2Index("A&B"), gf_airlineCode2Index("<O>"),
                                            gf_modelCode2Index("A\"20"), 0, 0}, 1});
    ASSERT_TRUE(lf_writeLiveriesScannedTo(written, target)) << log();
    EXPECT_EQ(test::readAll(target), writersBytes(written));
}

// Tens of thousands of records are laid out and checked in parts: records to
// escape fall at the ends of the parts and between them, and the file is still
// the document writer's, byte for byte, with every record read back.
TEST_F(LiveriesScannedFile, ALargeTableIsTheDocumentWritersToo)
{
    std::vector<LiveryRecord> written;
    constexpr std::size_t kCount = 40'000;
    for (std::size_t i = 0; i < kCount; ++i) {
        const bool escaped = i % 4096 == 0 || i % 4096 == 4095 || i % 997 == 0;
        written.push_back({fmt::format("AIG A320 {} livery {:05}", escaped ? "R&D <x>" : "DLH", i),
                           i % 3 == 0 ? "" : fmt::format("D-A{:04}", i % 10'000),
                           {gf_airlineCode2Index(i % 2 == 0 ? "DLH" : "KLM"), 0, gf_modelCode2Index("A320"),
                            static_cast<std::uint8_t>(i % 5 == 0 ? 1 : 0), 0},
                           1});
    }
    ASSERT_TRUE(lf_writeLiveriesScannedTo(written, target)) << log();
    EXPECT_EQ(test::readAll(target), writersBytes(written));
    gf_readLiveriesScanned();
    EXPECT_EQ(gf_scannedLiveries().size(), kCount);
}

// A title with a stray Windows-1252 byte in UTF-8 text (as packages hold them)
// comes back with the very bytes it was written with.
TEST_F(LiveriesScannedFile, TitleBytesOfAnotherCodePageRoundTrip)
{
    const std::string title = "AIG A320 Caf\xC3\xA9 \x96 Bar \xE9";
    ASSERT_TRUE(gf_writeLiveriesScanned(
        {{title, "", {gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 0, 0}, 1}}))
        << log();
    EXPECT_NE(test::readAll(target).find("t=\"" + title + "\""), std::string::npos);
    gf_readLiveriesScanned();
    ASSERT_EQ(gf_scannedLiveries().size(), 1u);
    EXPECT_EQ(gf_scannedLiveries()[0].title, title);
}

TEST_F(LiveriesScannedFile, NothingToWriteOrABadTemporaryFileKeepsThePreviousFile)
{
    test::writeAll(target, "previous");
    EXPECT_FALSE(gf_writeLiveriesScanned({}));
    EXPECT_EQ(test::readAll(target), "previous");

    const std::string head = "<root><liveries>";
    const std::string full = "<l a=\"DLH\" m=\"A320\" t=\"x\"/>";
    struct Case {
        std::string text;
        std::size_t count;
        bool valid;
    };
    const Case cases[] = {
        {head + full + full + "</liveries></root>", 2, true},
        {head + full + "<l a=\"\" m=\"\" t=\"\"/></liveries></root>", 2, true},
        {head + full + "<l a=\"DLH\" m=\"A320\"/></liveries></root>", 2, false},
        {head + full + "<l m=\"A320\" t=\"x\" c=\"true\"/></liveries></root>", 2, false},
        {head + full + "<l a=\"DLH\" t=\"x\" o=\"KLM\"/></liveries></root>", 2, false},
        {head + full + "<l r=\"D-AIBA\" t=\"x\" m=\"A320\" a=\"DLH\"/></liveries></root>", 2, true},
        {head + full + "<l aa=\"DLH\" m=\"A320\" t=\"x\"/></liveries></root>", 2, false},
        {head + full + "</liveries></root>", 2, false},
        {head + full, 1, false},
        {"<root/>", 0, false},
    };
    for (const Case& c : cases) {
        test::writeAll(temporary, c.text);
        EXPECT_EQ(lf_validateLiveriesScanned(temporary, c.count), c.valid) << c.text;
    }
    EXPECT_FALSE(lf_validateLiveriesScanned("missing.xml", 0));
}

TEST_F(LiveriesScannedFile, ReadingRefusesBrokenFilesWithTheirCodes)
{
    const std::string path = path_to_utf8(target);
    struct Case {
        std::optional<std::string> text; // nullopt: no file
        int code;
        std::string message;
    };
    const Case cases[] = {
        {std::nullopt, 51, "Could not open " + path},
        {"<root><liveries>", 51, "Error reading " + path + ": "},
        {"<other/>", 52, path + " does not contain <root>"},
        {"<root/>", 52, path + " does not contain a <liveries> section"},
        {"<root><liveries><l a=\"DLH\" t=\"x\"/></liveries></root>", 999, "Missing required attribute 'm' in <l>"},
        {"<root><liveries/></root>", 533, path + " does not contain liveries"},
    };
    gf_scannedLiveries() = {LiveryRecord{"kept", "", {}, 0}};
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove(target, ec);
        if (c.text) test::writeAll(target, *c.text);
        try {
            gf_readLiveriesScanned();
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const UserRelatedException& e) {
            EXPECT_EQ(e.code(), c.code) << c.message;
            EXPECT_TRUE(std::string(e.what()).starts_with(fmt::format("{}: {}", c.code, c.message))) << e.what();
        }
    }
    ASSERT_EQ(gf_scannedLiveries().size(), 1u);
    EXPECT_EQ(gf_scannedLiveries()[0].title, "kept");
}

} // namespace
} // namespace zelk

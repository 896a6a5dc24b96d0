#include "liveries/AircraftDatabase.h"

#include "core/Log.h"
#include "core/UserRelatedException.h"
#include "support/LoggedTempDir.h"

#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace zelk {
namespace {

// A small database text; every section can be replaced or left out.
struct DbaseText {
    std::map<std::string, std::optional<std::string>> sections{
        {"aircrafts", R"(<aircraft types="B738, A320"/>)"},
        {"cargo_types", R"(<cargo_type types="B77F"/>)"},
        {"heavy", R"(<hvy types="B77F"/>)"},
        {"large", R"(<lar types="B738,A320"/>)"},
        {"buzjet", R"(<bzj types="C25C"/>)"},
        {"twoprops", R"(<tpr types="BE58"/>)"},
        {"high_performance", R"(<hpf types="EUFI"/>)"},
        {"rotorcraft", R"(<rot types="EC35"/>)"},
        {"ICAO_airlines", R"(<ICAO codes="KLM,DLH"/>)"},
        {"cargo_operators", R"(<ICAO codes="CLX"/>)"},
    };

    DbaseText& set(const std::string& name, std::string body)
    {
        sections[name] = std::move(body);
        return *this;
    }
    DbaseText& drop(const std::string& name)
    {
        sections[name] = std::nullopt;
        return *this;
    }
    std::string xml() const
    {
        std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
        for (const auto& [name, body] : sections) {
            if (body) out += fmt::format("<{0}>{1}</{0}>\n", name, *body);
        }
        return out + "</root>\n";
    }
};

class AircraftDatabaseTest : public test::LoggedTempDirTest {
protected:
    bool read(const DbaseText& text)
    {
        std::string xml = text.xml();
        return db.readXml(xml.data(), xml.size(), "test-dbase");
    }
    bool logHas(std::string_view line) { return log().find(line) != std::string::npos; }

    CodeTable airlines{"airline"};
    CodeTable models{"model"};
    AircraftDatabase db{airlines, models};
};

TEST_F(AircraftDatabaseTest, DatabaseModelsAndAirlinesGetSortedIndexes)
{
    ASSERT_TRUE(read(DbaseText{}));
    EXPECT_EQ(models.find(""), 0);
    EXPECT_EQ(airlines.find(""), 0);
    EXPECT_EQ(db.modelIndex("A320"), 1);
    EXPECT_EQ(db.modelIndex("B738"), 2);
    // Cargo and category codes that are no models follow, in reading order.
    EXPECT_EQ(models.text(3), "B77F");
    EXPECT_EQ(models.text(4), "C25C");
    EXPECT_EQ(db.airlineIndex("DLH"), 1);
    EXPECT_EQ(db.airlineIndex("KLM"), 2);
    EXPECT_EQ(db.airlineIndex("CLX"), 3);
    const auto sizeBefore = models.size();
    EXPECT_EQ(db.modelIndex("ZZZZ"), sizeBefore) << "new codes are appended";

    EXPECT_TRUE(logHas("\n    2 ICAO model codes\n    2 ICAO airline codes\n    1 cargo operators\n")) << log();
    EXPECT_TRUE(logHas("    0 dbase records read\n"));
    EXPECT_FALSE(logHas("fixes")) << "no fixes line without the section";
}

TEST_F(AircraftDatabaseTest, CodesInternedBeforeReadingKeepTheirIndexes)
{
    EXPECT_EQ(db.modelIndex("C172"), 1);
    EXPECT_EQ(db.airlineIndex("SAS"), 1);
    ASSERT_TRUE(read(DbaseText{}));
    EXPECT_EQ(db.modelIndex("C172"), 1);
    EXPECT_EQ(db.modelIndex("A320"), 2);
    EXPECT_EQ(db.modelIndex("B738"), 3);
    EXPECT_EQ(db.airlineIndex("SAS"), 1);
    EXPECT_EQ(db.airlineIndex("DLH"), 2);
}

TEST_F(AircraftDatabaseTest, FixesMapWrongCodesToKnownModels)
{
    const auto before = db.modelIndex("B73X");  // interned before the fixes exist
    ASSERT_TRUE(read(DbaseText{}.set("fixes", R"(
        <fx wro="B73H" cor="B738"/>
        <fx wro="B73X" cor="B738"/>
        <fx wro="A32X" cor="A999"/>
        <fx wro="B73H" cor="A320"/>
        <fx wro="B77L" cor=""/>)")
                         .set("dbase", R"(<d r="PH-BXA" a="KLM" m="B73H"/>)")));
    const auto sizeAfterRead = models.size();

    EXPECT_EQ(db.modelIndex("B73H"), db.modelIndex("B738"));
    EXPECT_FALSE(models.find("B73H").has_value()) << "the wrong code is not added";
    EXPECT_EQ(db.modelIndex("B73X"), before) << "a code interned earlier keeps its own index";
    EXPECT_NE(before, db.modelIndex("B738"));
    EXPECT_EQ(db.modelFix("B73H"), "B738") << "the first fix for a code wins";
    EXPECT_FALSE(db.modelFix("A32X").has_value());
    EXPECT_EQ(models.size(), sizeAfterRead);
    EXPECT_EQ(db.findRecord("PH-BXA")->model, db.modelIndex("B738")) << "records take the fixed model";

    EXPECT_TRUE(logHas("==> invalid fix A32X -> A999, target is not a valid ICAO model"));
    EXPECT_TRUE(logHas("==> invalid fix B77L -> , target is not a valid ICAO model"));
    EXPECT_TRUE(logHas("==> duplicate fix key 'B73H', skipped"));
    EXPECT_TRUE(logHas("    2 fixes\n"));
}

TEST_F(AircraftDatabaseTest, RegistrationRecordsAreSortedAndUnique)
{
    ASSERT_TRUE(read(DbaseText{}.set("dbase", R"(
        <d r="PH-BXA" a="KLM" m="B738"/>
        <d r="D-AIZA" a="DLH" m="A320" c="no"/>
        <d r="PH-BXA" a="DLH" m="A320"/>
        <d r="OO-SFA" a="NEW" o="KLM" m="A333" c=" Yes "/>
        <d r="G-ABCD"/>)")));
    const auto data = db.data();
    ASSERT_EQ(data->records.size(), 4u) << "one record per registration";
    EXPECT_EQ(data->records[0].registration, "D-AIZA");

    const auto klm = db.findRecord("PH-BXA");
    ASSERT_TRUE(klm.has_value());
    EXPECT_EQ(klm->airline, db.airlineIndex("KLM")) << "the first record in the file is kept";
    EXPECT_EQ(klm->valid, 1);
    EXPECT_EQ(klm->cargo, 0);

    const auto newAirline = db.findRecord("OO-SFA");
    ASSERT_TRUE(newAirline.has_value());
    EXPECT_EQ(airlines.text(newAirline->airline), "NEW") << "unknown codes are interned, not rejected";
    EXPECT_EQ(newAirline->op, db.airlineIndex("KLM"));
    EXPECT_EQ(models.text(newAirline->model), "A333");
    EXPECT_EQ(newAirline->cargo, 1);

    const auto bare = db.findRecord("G-ABCD");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(*bare, (LiveryKey{0, 0, 0, 0, 1}));

    EXPECT_FALSE(db.findRecord("PH-BX").has_value());
    EXPECT_TRUE(logHas("    4 dbase records read\n"));
}

TEST_F(AircraftDatabaseTest, RegistrationsAreFoundWithAndWithoutHyphen)
{
    ASSERT_TRUE(read(DbaseText{}.set("dbase", R"(
        <d r="D-ABCD" a="DLH" m="A320"/>
        <d r="HB-JVA" a="KLM" m="A320"/>
        <d r="EI-DEF" a="KLM" m="B738"/>
        <d r="E-IDEF" a="DLH" m="B738"/>
        <d r="N-12345" a="DLH" m="B738"/>
        <d r="N1-2345" a="DLH" m="B738"/>
        <d r="GABCD" a="KLM" m="B738"/>
        <d r="D-ABC" a="DLH" m="B738"/>
        <d r="N123AB" a="KLM" m="A320"/>)")));
    // Expected airline of the record found; empty: nothing found.
    const std::pair<const char*, const char*> cases[] = {
        {"DABCD", "DLH"},  // A-BCDE form
        {"HBJVA", "KLM"},  // AB-CDE form
        {"EIDEF", "KLM"},  // AB-CDE is tried before A-BCDE
        {"N12345", ""},    // a text starting with N stays as it is
        {"N123AB", "KLM"},
        {"G-ABCD", ""},    // a text with '-' stays as it is
        {"D-ABCD", "DLH"},
        {"DABC", ""},      // four characters stay as they are
        {"", ""},
        {"GABCD", "KLM"},  // the text itself is the last form tried
    };
    for (const auto& [text, airline] : cases) {
        SCOPED_TRACE(text);
        const auto key = db.lookupRegcode(text);
        ASSERT_EQ(key.has_value(), *airline != 0);
        if (key) {
            EXPECT_EQ(key->airline, db.airlineIndex(airline));
        }
    }
}

TEST_F(AircraftDatabaseTest, RegistrationPrefixSearch)
{
    ASSERT_TRUE(read(DbaseText{}.set("dbase", R"(
        <d r="" a="KLM"/>
        <d r="PH-BXA" a="KLM" m="B738"/>
        <d r="C-GK" a="KLM" m="B738"/>
        <d r="D-AB" a="DLH" m="A320"/>)")));
    EXPECT_EQ(db.findRegcodePrefixIn("xxD-ABCDxxC-GK"), "C-GK") << "first in registration order";
    EXPECT_EQ(db.findRegcodePrefixIn("D-ABCD"), "D-AB");
    EXPECT_FALSE(db.findRegcodePrefixIn("PH-BXA").has_value()) << "six characters or more are no prefix";
    EXPECT_FALSE(db.findRegcodePrefixIn("nothing").has_value()) << "the empty registration matches nothing";
}

TEST_F(AircraftDatabaseTest, BadWingSpansAreSkippedWithTheirNotices)
{
    ASSERT_TRUE(read(DbaseText{}.set("wingspans", R"(
        <wingspan type="B738" meters="35.79"/>
        <wingspan type="A320" meters="0"/>
        <wingspan type="A320"/>
        <wingspan type="A320" meters="wide"/>
        <wingspan type="A320" meters="-3"/>
        <wingspan type="B77F" meters="64.8"/>
        <wingspan type="" meters="10"/>
        <wingspan type="B738" meters="40"/>)")));
    const double b738 = 35.79 * 0.5 / 1852.0;
    EXPECT_DOUBLE_EQ(db.halfWingspanNm(db.modelIndex("B738")), b738) << "the first span is kept";
    EXPECT_EQ(db.halfWingspanNm(db.modelIndex("A320")), 0.0);
    EXPECT_EQ(db.halfWingspanNm(db.modelIndex("B77F")), 0.0) << "a cargo type that is no model";
    EXPECT_DOUBLE_EQ(db.largestHalfWingspanNm(), b738);

    EXPECT_TRUE(logHas("==> wingspan for model A320 is not positive, skipped"));
    EXPECT_TRUE(logHas("==> wingspan model B77F is not valid, skipped"));
    EXPECT_TRUE(logHas("==> wingspan model  is not valid, skipped"));
    EXPECT_TRUE(logHas("==> duplicate wingspan model B738, skipped"));
    const std::string text = log();
    std::size_t count = 0;
    for (auto at = text.find("A320 is not"); at != std::string::npos; at = text.find("A320 is not", at + 1)) ++count;
    EXPECT_EQ(count, 4u);
}

TEST_F(AircraftDatabaseTest, EveryModelIndexHasASpanAnswer)
{
    ASSERT_TRUE(read(DbaseText{}.set("wingspans", R"(<wingspan type="A320" meters="35.8"/>)")));
    for (int i = 0; i < 3000; ++i) db.modelIndex(fmt::format("U{}", i));
    const auto late = db.modelIndex("U2999");
    ASSERT_GE(late, 2700);
    EXPECT_EQ(db.halfWingspanNm(late), 0.0) << "no 35 NM radius for a model without a span";
    EXPECT_EQ(db.halfWingspanNm(65535), 0.0);
}

TEST_F(AircraftDatabaseTest, CategoriesFollowTheirPrecedence)
{
    ASSERT_TRUE(read(DbaseText{}
                         .set("aircrafts", R"(<aircraft types="A320,B744,C172,H1,H2,H3,H4"/>)")
                         .set("heavy", R"(<hvy types="B744,H1"/>)")
                         .set("large", R"(<lar types="A320,H1"/>)")
                         .set("buzjet", R"(<bzj types="H2"/>)")
                         .set("twoprops", R"(<tpr types="H2,H3"/>)")
                         .set("rotorcraft", R"(<rot types="H3,H4"/><rot types="EC35"/>)")
                         .set("high_performance", R"(<hpf types="H4"/>)")));
    const std::pair<const char*, AcCategory> cases[] = {
        {"A320", AcCategory::Large},
        {"B744", AcCategory::Heavy},
        {"C172", AcCategory::Light},
        {"H1", AcCategory::Large},       // large before heavy
        {"H2", AcCategory::Bizjet},      // buzjet before twoprops
        {"H3", AcCategory::TwoProps},    // twoprops before rotorcraft
        {"H4", AcCategory::Rotorcraft},  // rotorcraft before high performance
        {"EC35", AcCategory::Rotorcraft},  // every element counts
        {"NEW1", AcCategory::Light},
    };
    for (const auto& [code, category] : cases) {
        EXPECT_EQ(db.modelCategory(db.modelIndex(code)), category) << code;
    }
}

TEST_F(AircraftDatabaseTest, CargoByModelOrByAirlineButNotByOperator)
{
    ASSERT_TRUE(read(DbaseText{}));
    const LiveryKey freighter{db.airlineIndex("KLM"), 0, db.modelIndex("B77F"), 0, 0};
    const LiveryKey cargoAirline{db.airlineIndex("CLX"), 0, db.modelIndex("B738"), 0, 0};
    const LiveryKey cargoOperator{db.airlineIndex("KLM"), db.airlineIndex("CLX"), db.modelIndex("B738"), 0, 0};
    EXPECT_TRUE(db.isCargoKey(freighter));
    EXPECT_TRUE(db.isCargoKey(cargoAirline));
    EXPECT_FALSE(db.isCargoKey(cargoOperator));
    EXPECT_FALSE(db.isCargoKey(LiveryKey{}));
}

TEST_F(AircraftDatabaseTest, CodeQueriesUseTheDatabaseLists)
{
    ASSERT_TRUE(read(DbaseText{}));
    EXPECT_TRUE(db.isModelCode("A320"));
    EXPECT_FALSE(db.isModelCode("B77F")) << "a cargo type is no model code by itself";
    EXPECT_FALSE(db.isModelCode("a320"));
    EXPECT_TRUE(db.isAirlineCode("KLM"));
    EXPECT_FALSE(db.isAirlineCode("CLX")) << "cargo operators are not consulted";
    EXPECT_FALSE(db.isAirlineCode(""));
}

TEST_F(AircraftDatabaseTest, SimilarGroupsAreSortedAndTrimmed)
{
    ASSERT_TRUE(read(DbaseText{}.set("similar_types", R"(
        <similar types="B738, B737 ,B736"/>
        <similar types="A320,,A319 "/>
        <similar types="E190"/>)")));
    const auto data = db.data();
    ASSERT_EQ(data->similarGroups.size(), 3u);
    EXPECT_EQ(data->similarGroups[0], (std::vector<std::string>{"B736", "B737", "B738"}));
    EXPECT_EQ(data->similarGroups[1], (std::vector<std::string>{"A319", "A320"}));
    EXPECT_EQ(data->similarGroups[2], (std::vector<std::string>{"E190"}));
}

TEST_F(AircraftDatabaseTest, EachRequiredSectionIsRequired)
{
    for (const char* section : {"aircrafts", "cargo_types", "heavy", "large", "buzjet", "twoprops",
                                "high_performance", "rotorcraft", "ICAO_airlines", "cargo_operators"}) {
        CodeTable a("airline");
        CodeTable m("model");
        AircraftDatabase fresh(a, m);
        std::string xml = DbaseText{}.drop(section).xml();
        try {
            fresh.readXml(xml.data(), xml.size(), "test-dbase");
            ADD_FAILURE() << section << " missing but read";
        } catch (const UserRelatedException& e) {
            EXPECT_EQ(e.code(), 61);
            EXPECT_EQ(std::string(e.what()), fmt::format("61: Missing section: {}", section));
        }
    }
}

TEST_F(AircraftDatabaseTest, UnreadableTextGivesFalseWithANotice)
{
    std::string broken = "<root><aircrafts></root>";
    EXPECT_FALSE(db.readXml(broken.data(), broken.size(), "test-dbase"));
    EXPECT_TRUE(logHas("==> test-dbase not read because: "));

    std::string noRoot = "<base><aircrafts/></base>";
    EXPECT_FALSE(db.readXml(noRoot.data(), noRoot.size(), "test-dbase"));
    EXPECT_TRUE(logHas("==> 'test-dbase' has no root node"));
    EXPECT_EQ(db.data()->modelCodes.size(), 0u) << "nothing half-read is published";
}

TEST_F(AircraftDatabaseTest, InterningAndQueriesFromSeveralThreadsAtOnce)
{
    ASSERT_TRUE(read(DbaseText{}
                         .set("fixes", R"(<fx wro="B73H" cor="B738"/>)")
                         .set("dbase", R"(<d r="D-ABCD" a="DLH" m="A320"/>)")));
    const auto b738 = db.modelIndex("B738");
    constexpr int kThreads = 6;
    constexpr int kRounds = 2000;
    std::vector<std::vector<std::uint16_t>> newIndexes(kThreads);
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < kRounds; ++k) {
                // Codes shared by all threads, so several race to add each one.
                newIndexes[t].push_back(db.modelIndex(fmt::format("N{}", k % 500)));
                db.airlineIndex(fmt::format("L{}", (k * 7 + t) % 300));
                if (db.modelIndex("B73H") != b738) ++wrong[t];
                if (db.modelCategory(b738) != AcCategory::Large) ++wrong[t];
                if (!db.lookupRegcode("DABCD")) ++wrong[t];
                if (models.text(newIndexes[t].back()) != fmt::format("N{}", k % 500)) ++wrong[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
        EXPECT_EQ(newIndexes[t], newIndexes[0]) << "every thread sees the same index for a code";
    }
    EXPECT_FALSE(models.find("B73H").has_value());
}

TEST(LiveryKey, PacksIntoOneWord)
{
    const LiveryKey key{0x1234, 0x5678, 0x9abc, 1, 1};
    EXPECT_EQ(key.toU64(), 0x0101'9abc'5678'1234ULL);
    EXPECT_EQ(LiveryKey::fromU64(key.toU64()), key);
}

} // namespace
} // namespace zelk

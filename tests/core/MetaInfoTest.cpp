#include "core/MetaInfo.h"

#include <gtest/gtest.h>

#include "core/Clock.h"
#include "core/Log.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

class MetaInfoBlock : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        gf_openLogFile();
    }
    void TearDown() override
    {
        gf_logFile().close();
        TempDirTest::TearDown();
    }
    std::string logText() const
    {
        gf_flushLog();
        return test::readAll(dir() / "Log.txt");
    }
    std::optional<MetaInfo> read(const std::string& infos, bool relaxed = false)
    {
        doc_.reset();
        EXPECT_TRUE(doc_.load_string(("<root><meta>" + infos + "</meta></root>").c_str()));
        return gf_readMetaInfo(doc_, relaxed);
    }
    static std::string info(const std::string& name, const std::string& value)
    {
        return "<info name=\"" + name + "\" value=\"" + value + "\"/>";
    }
    pugi::xml_document doc_;
};

TEST_F(MetaInfoBlock, WriteThenReadBack)
{
    ScopedFixedClock clock(1796508000); // 5 Dec 2026
    pugi::xml_document doc;
    doc.append_child("root").append_child("meta").append_child("info");
    MetaInfo meta;
    meta.version = "1.2.3";
    meta.sim = 2;
    ASSERT_TRUE(gf_writeMetaInfo(doc, meta));
    const auto block = doc.child("root").child("meta");
    std::vector<std::pair<std::string, std::string>> entries;
    for (auto i : block.children("info")) entries.emplace_back(i.attribute("name").value(), i.attribute("value").value());
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"author", "ZELK"}));
    EXPECT_EQ(entries[1].second, "1.2.3");
    EXPECT_EQ(entries[2], (std::pair<std::string, std::string>{"date", "5 Dec 2026"}));
    EXPECT_EQ(entries[3].first, "copyright");
    EXPECT_NE(entries[3].second.find("2026"), std::string::npos);
    EXPECT_EQ(entries[4], (std::pair<std::string, std::string>{"sim", "2"}));
    EXPECT_FALSE(block.next_sibling("meta")); // the old block was replaced
    const auto back = gf_readMetaInfo(doc, false);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->version, "1.2.3");
    EXPECT_EQ(back->sim, 2);
}

TEST_F(MetaInfoBlock, EmptyCopyrightStopsAtOnce)
{
    EXPECT_FALSE(read(info("copyright", "") + info("sim", "2")));
    EXPECT_NE(logText().find("==> no copyright info in the file?"), std::string::npos);
    EXPECT_FALSE(read(info("sim", "2")));
}

TEST_F(MetaInfoBlock, SimulatorEntries)
{
    EXPECT_FALSE(read(info("copyright", "c") + info("sim", "5")));
    EXPECT_NE(logText().find("==> unsupported sim info in the file"), std::string::npos);
    auto m = read(info("copyright", "c") + info("MSFS", "2024"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->msfs, "2024");
    EXPECT_EQ(m->sim, -1);
    m = read(info("copyright", "c") + info("sim", "two") + info("P3D", "v5"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->p3d, "v5");
    EXPECT_NE(logText().find("==> invalid sim info in the file"), std::string::npos);
}

TEST_F(MetaInfoBlock, FirstOccurrenceWinsAndUnknownNamesAreIgnored)
{
    const auto m = read(info("author", "first") + info("author", "second") + info("", "x") + info("other", "y") +
                        info("copyright", "c") + info("sim", "1") + info("sim", "2"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->author, "first");
    EXPECT_EQ(m->sim, 1);
}

TEST_F(MetaInfoBlock, RelaxedFormRefusesSilently)
{
    EXPECT_FALSE(read(info("copyright", ""), true));
    EXPECT_FALSE(read(info("copyright", "c") + info("sim", "9"), true));
    EXPECT_EQ(logText().find("==>"), std::string::npos);
}

TEST_F(MetaInfoBlock, NoBlockAndNoRoot)
{
    pugi::xml_document doc;
    doc.append_child("root");
    EXPECT_FALSE(gf_readMetaInfo(doc, false));
    pugi::xml_document bare;
    ASSERT_TRUE(bare.load_string("<meta><info name=\"copyright\" value=\"c\"/><info name=\"sim\" value=\"1\"/></meta>"));
    EXPECT_TRUE(gf_readMetaInfo(bare, false));
    EXPECT_EQ(logText().find("==>"), std::string::npos);
}

} // namespace
} // namespace zelk

#include "liveries/Regcodes.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

using Regcodes = test::LoggedTempDirTest;

std::string lf_describe(const RegcodeReadResult& r)
{
    std::string text;
    for (const RegcodeRecord& rec : r.records) {
        std::string codes;
        for (const std::string& c : rec.codes) codes += (codes.empty() ? "" : ",") + c;
        text += fmt::format("[{}|{}|{}]", rec.title, codes, rec.special ? "special" : "");
    }
    return text;
}

TEST_F(Regcodes, UserLinesGiveEntriesAndMessages)
{
    struct Case {
        std::string line;
        std::string records;
        std::vector<std::string> errors;
    };
    const std::string p = "my.txt line 1: ";
    const Case cases[] = {
        {"", "", {}},
        {" ; ;; ", "", {}},
        {"Title only", "[Title only||]", {}},
        {"T;D-AIBA", "[T|D-AIBA|special]", {}},
        {"T ; D-AIBB,D-AIBA", "[T|D-AIBA,D-AIBB|]", {}},
        {"T;D-AIBB,D-AIBA;#", "[T|D-AIBA,D-AIBB|special]", {}},
        {"T;;D-AIBA;;", "[T|D-AIBA|special]", {}},
        {"T;D-AIBA, D-AIBB", "[T|D-AIBA|special]", {p + "invalid registration code ' D-AIBB' for title 'T'"}},
        {"T;AB,ABCDEFGHIJKLM,d-aiba", "", {p + "invalid registration code 'AB' for title 'T'",
                                           p + "invalid registration code 'ABCDEFGHIJKLM' for title 'T'",
                                           p + "invalid registration code 'd-aiba' for title 'T'"}},
        {"T;D-AIBA,D-AIBB;x", "[T|D-AIBA,D-AIBB|]", {p + "invalid special marker 'x' for title 'T'"}},
        {"T;D-AIBA;x", "[T|D-AIBA|special]", {p + "invalid special marker 'x' for title 'T'"}},
        {"a;b;c;d", "", {p + "expected at most 3 semicolon-separated fields: 'a;b;c;d'"}},
    };
    for (const Case& c : cases) {
        RegcodeReadResult result;
        lf_parseRegcodeLines(result, {c.line}, "my.txt");
        EXPECT_EQ(lf_describe(result), c.records) << c.line;
        EXPECT_EQ(result.errors, c.errors) << c.line;
    }
    EXPECT_EQ(lf_regcodeLinePrefix("f", 0), "f: ");
    EXPECT_EQ(lf_regcodeLinePrefix("", 7), "line 7: ");
    EXPECT_EQ(lf_regcodeLinePrefix("", 0), "");
}

TEST_F(Regcodes, AigFileWithDuplicatesAndBadCodes)
{
    const std::string meta = "<meta><info name=\"author\" value=\"ZELK\"/><info name=\"copyright\" value=\"c\"/>"
                             "<info name=\"sim\" value=\"2\"/></meta>";
    gf_writeEncryptedFile("<root>" + meta +
                              "<aig><l t=\"A\" r=\"D-AIBB,D-AIBA,D-AIBA\" s=\"true\"/><l t=\"\" r=\"D-AIBC\"/>"
                              "<l t=\"A\" r=\"D-AIBD\"/><l t=\"Banned\"/><l t=\"B\" r=\"x,D-AIBE\"/>"
                              "<l t=\"C\" r=\"x\"/></aig></root>",
                          kAigRegcodesFile);
    const RegcodeReadResult result = gf_readRegcodesXml(kAigRegcodesFile);
    EXPECT_EQ(lf_describe(result), "[A|D-AIBA,D-AIBB|special][Banned||][B|D-AIBE|]");
    EXPECT_EQ(result.errors, (std::vector<std::string>{"AIG XML record 2 has no title", "duplicate AIG title 'A'",
                                                       "invalid registration code 'x' for AIG title 'B'",
                                                       "invalid registration code 'x' for AIG title 'C'"}));
    EXPECT_NE(log().find("    3 livery titles with 3 regcodes, read from " + path_to_utf8(kAigRegcodesFile)),
              std::string::npos)
        << log();

    std::set<std::string> dontUse{"Banned"};
    fs::create_directories(kMyRegcodesFolder);
    test::writeAll(kMyRegcodesFolder / "b.TXT", "Mine\r\nBanned\nT;D-AIBA\n");
    test::writeAll(kMyRegcodesFolder / "a.txt", "Also mine\n");
    test::writeAll(kMyRegcodesFolder / "c.csv", "Not read\n");
    lf_readDontUseTitlesFile(kAigRegcodesFile, dontUse);
    lf_readDontUseTitlesFolder(kMyRegcodesFolder, dontUse);
    EXPECT_EQ(dontUse, (std::set<std::string>{"Also mine", "Banned", "Mine"}));
    EXPECT_NE(log().find("    0 don't use titles read\n"), std::string::npos) << log();
    EXPECT_NE(log().find("    2 don't use titles read from files in " + path_to_utf8(kMyRegcodesFolder)),
              std::string::npos);

    gf_writeEncryptedFile("<root><aig/></root>", kAigRegcodesFile);
    EXPECT_EQ(gf_readRegcodesXml(kAigRegcodesFile).errors,
              (std::vector<std::string>{fmt::format("'{}' has invalid metadata", path_to_utf8(kAigRegcodesFile))}));
    EXPECT_EQ(gf_readRegcodeFolder("nowhere").errors.size(), 1u);
}

} // namespace
} // namespace zelk

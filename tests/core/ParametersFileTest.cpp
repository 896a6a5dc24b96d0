#include "core/ParametersFile.h"

#include <cstdlib>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "core/ParameterXml.h"
#include "core/Version.h"
#include "ParameterTestSupport.h"

namespace zelk {
namespace {

using test::readAll;
using test::writeAll;

// The keys of a parameters file in document order.
std::vector<std::string> keysOf(const std::filesystem::path& file)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(file.c_str()));
    std::vector<std::string> keys;
    for (auto e : doc.child("root").child("parameters").children("parameter")) keys.emplace_back(e.attribute("name").value());
    return keys;
}

std::vector<std::string> valuesOf(const std::filesystem::path& file, const std::string& key)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(file.c_str()));
    std::vector<std::string> values;
    for (auto e : gf_findParametersSection(doc).children("parameter"))
        if (key == e.attribute("name").value()) values.emplace_back(e.attribute("value").value());
    return values;
}

// The checked-in copy of a new file, the one list of stored keys that does not
// come from the code under test.
std::filesystem::path goldenNewFile()
{
    const char* data = std::getenv("ZELK_TEST_DATA");
    EXPECT_NE(data, nullptr) << "ZELK_TEST_DATA is not set";
    return std::filesystem::path(data == nullptr ? "" : data) / "parameters-new.xml";
}

std::vector<std::string> expectedStoredKeys() { return keysOf(goldenNewFile()); }

std::string fileWith(const std::string& elements)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n" + elements +
           "  </parameters>\n</root>\n";
}

std::string element(const std::string& key, const std::string& value)
{
    return "    <parameter name=\"" + key + "\" value=\"" + value + "\" />\n";
}

using ParametersFile = test::ParametersTest;

TEST_F(ParametersFile, NewFileMatchesGoldenCopy)
{
    EXPECT_TRUE(gf_loadParameters());
    const std::string actual = readAll(paramsFile());
    const std::filesystem::path golden = goldenNewFile();
    // The golden copy names the program version as a placeholder so that a new
    // version number does not invalidate it.
    const std::string placeholder = "@PROGRAM_VERSION@";
    if (std::getenv("ZELK_WRITE_GOLDEN") != nullptr) {
        std::string copy = actual;
        copy.replace(copy.find(programVersion.toString()), programVersion.toString().size(), placeholder);
        writeAll(golden, copy);
    }
    std::string expected = readAll(golden);
    ASSERT_FALSE(expected.empty()) << golden;
    const auto at = expected.find(placeholder);
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, placeholder.size(), programVersion.toString());
    EXPECT_EQ(actual, expected);
    EXPECT_NE(actual.substr(0, 3), "\xEF\xBB\xBF");
    // A second load of the unchanged file changes nothing in it.
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(readAll(paramsFile()), actual);
}

TEST_F(ParametersFile, NewFileHoldsExactlyTheListedKeysInListOrder)
{
    // An empty per-user folder: not even ZELK exists yet.
    std::filesystem::remove_all(paramsFile().parent_path());
    // A new file holds the values in memory.
    RANGE.setValue(77);
    RT_CHOISE.setValue("RT App");
    EXPECT_TRUE(gf_loadParameters());
    EXPECT_EQ(paramsFile(), test::processConfigHome() / "ZELK" / "parameters.xml");
    const auto keys = keysOf(paramsFile());
    EXPECT_EQ(keys.size(), 81u);
    EXPECT_EQ(keys, expectedStoredKeys());
    for (const char* notStored : {"AIRCRAFT_SELECTOR", "STAND_SELECTOR", "MAX_FIT_FL", "Tblo", "Aircraft", "Block",
                                  "Unblock", "Park", "Flush", "Set"})
        EXPECT_TRUE(valuesOf(paramsFile(), notStored).empty()) << notStored;
    EXPECT_EQ(valuesOf(paramsFile(), "LAST_EPOCH_TIME:"), std::vector<std::string>{"0"});
    EXPECT_EQ(valuesOf(paramsFile(), "PROGRAM_VERSION"), std::vector<std::string>{programVersion.toString()});
    EXPECT_EQ(PROGRAM_VERSION.value(), programVersion.toString());
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"77"});
    EXPECT_EQ(valuesOf(paramsFile(), "RT_CHOISE"), std::vector<std::string>{"RT App"});
    EXPECT_EQ(RANGE.value(), 77);
    EXPECT_FALSE(std::filesystem::exists(sideFile(".tmp")));
}

TEST_F(ParametersFile, UnparsableFileIsKeptAsideAndEverySettingWrittenAnew)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<root><parameters><parameter name=\"RANGE\" value=\"55\"", "could not be loaded"},
        {"<?xml version=\"1.0\"?>\n<root><settings/></root>\n", "Section 'parameters' not found in"},
        {fileWith(element("RANGE", "20")) + std::string(kMaxParametersFileBytes, ' '),
         "could not be loaded: file too large (1048703 bytes, at most 1048576)"},
    };
    for (const auto& [damaged, notice] : cases) {
        SCOPED_TRACE(notice);
        std::filesystem::remove(damagedCopy());
        writeAll(paramsFile(), damaged);
        RANGE.setValue(55);
        EXPECT_TRUE(gf_loadParameters());
        EXPECT_EQ(readAll(damagedCopy()), damaged);
        EXPECT_EQ(keysOf(paramsFile()), expectedStoredKeys());
        EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"55"});
        EXPECT_FALSE(std::filesystem::exists(sideFile(".tmp")));
        EXPECT_EQ(readAll(sideFile(".bak")), damaged);
        EXPECT_NE(logText().find(notice), std::string::npos);
    }
}

// A damaged file gives way to a backup that loads, and the backup stays as
// it was: the load's own save must not put the damaged file in its place.
TEST_F(ParametersFile, DamagedFileTakesABackupThatLoadsAndLeavesIt)
{
    const std::string backup = fileWith(element("RANGE", "33"));
    for (const std::string& damaged : {std::string(), backup.substr(0, backup.size() / 2),
                                      std::string("<root><settings/></root>")}) {
        SCOPED_TRACE(damaged);
        writeAll(paramsFile(), damaged);
        writeAll(sideFile(".bak"), backup);
        RANGE.setValue(55);
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 33);
        EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"33"});
        EXPECT_EQ(readAll(sideFile(".bak")), backup);
        EXPECT_EQ(readAll(damagedCopy()), damaged);
        EXPECT_NE(logText().find("is damaged, taking its backup: from '"), std::string::npos);
    }
}

TEST_F(ParametersFile, DocumentWithoutRootIsRead)
{
    writeAll(paramsFile(), "<parameters><parameter name=\"RANGE\" value=\"33\"/></parameters>");
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 33);
    EXPECT_FALSE(std::filesystem::exists(damagedCopy()));
}

TEST_F(ParametersFile, IntegerValueTexts)
{
    writeAll(paramsFile(), fileWith(element("RANGE_GROUND", "150") + element("RANGE_1", "+7") +
                                    element("RANGE_2", " 7 ") + element("RANGE_3", "-3") +
                                    element("FLIGHT_LEVEL_1", "+") + element("MAIN_WINDOW_X", "-30001") +
                                    element("RANGE", "30") + element("RANGE", "60")));
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE_GROUND.value(), 100);
    EXPECT_EQ(RANGE_1.value(), 7);
    EXPECT_EQ(RANGE_2.value(), 7);
    EXPECT_EQ(RANGE_3.value(), 1);
    EXPECT_EQ(FLIGHT_LEVEL_1.value(), 100);
    EXPECT_EQ(MAIN_WINDOW_X.value(), -30000);
    EXPECT_EQ(RANGE.value(), 30); // only the first element of a key is read
}

TEST_F(ParametersFile, UnreadableValueIsReplacedInPlaceNotAppended)
{
    writeAll(paramsFile(), fileWith(element("RANGE_GROUND", "7x") + element("AUTO_PARK", "maybe") +
                                    "    <parameter name=\"PORT_NUMBER\"/>\n"));
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE_GROUND.value(), 10);
    EXPECT_TRUE(AUTO_PARK.value());
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE_GROUND"), std::vector<std::string>{"10"});
    EXPECT_EQ(valuesOf(paramsFile(), "AUTO_PARK"), std::vector<std::string>{"true"});
    EXPECT_EQ(valuesOf(paramsFile(), "PORT_NUMBER"), std::vector<std::string>{"10747"});
    // Loading again leaves the file as it is: it does not grow.
    const std::string once = readAll(paramsFile());
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(readAll(paramsFile()), once);
}

TEST_F(ParametersFile, BoolTextsAndMissingKeys)
{
    // Stored keys are matched exactly: these do not set RT_CHOISE.
    writeAll(paramsFile(), fileWith(element("AUTO_PARK", " No ") + element("WEEK", "ON") +
                                    element("UNKNOWN_KEY", "kept") + element("RT_CHOICE", "RT App") +
                                    element("rt_choise", "RT App")));
    AUTO_RANGE.setValue(false); // in memory only: a missing key takes its default
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_FALSE(AUTO_PARK.value());
    EXPECT_TRUE(WEEK.value());
    EXPECT_TRUE(AUTO_RANGE.value());
    EXPECT_EQ(RT_CHOISE.value(), "RT Direct");
    const auto keys = keysOf(paramsFile());
    EXPECT_EQ(keys.size(), 84u);
    EXPECT_EQ(keys[2], "UNKNOWN_KEY");
    EXPECT_EQ(valuesOf(paramsFile(), "AUTO_PARK"), std::vector<std::string>{" No "});
}

TEST_F(ParametersFile, LoadShowsValuesInControls)
{
    const auto box = host_->createControl();
    const auto holding = host_->createControl();
    const auto package = host_->createControl();
    SKIP_AIRPORT_SCAN.setHwnd(box);
    HOLDING_THRESHOLD_METERS.setHwnd(holding);
    QNH_UNIT.setHwnd(package);
    HOLDING_THRESHOLD_METERS.fillCombo();
    QNH_UNIT.fillCombo();
    writeAll(paramsFile(), fileWith(element("SKIP_AIRPORT_SCAN", "true") + element("HOLDING_THRESHOLD_METERS", "77") +
                                    element("QNH_UNIT", "QNH inHg")));
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_TRUE(host_->isChecked(box));
    EXPECT_EQ(HOLDING_THRESHOLD_METERS.value(), 77);
    EXPECT_EQ(host_->comboSelection(holding), std::nullopt);
    EXPECT_EQ(host_->comboSelectedText(package), "QNH inHg");

    writeAll(paramsFile(), fileWith(element("HOLDING_THRESHOLD_METERS", "5")));
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(HOLDING_THRESHOLD_METERS.value(), 10);
    EXPECT_EQ(host_->comboSelectedText(holding), "10");
}

TEST_F(ParametersFile, ReaderLookups)
{
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(fileWith(element("A", " 12 ") + element("B", "yes") + element("C", "text") +
                                         element("A", "99") + "    <parameter value=\"1\"/>\n")
                                    .c_str()));
    EXPECT_EQ(gf_readXmlIntParameter(doc, "A"), 12);
    EXPECT_EQ(gf_readXmlBoolParameter(doc, "B"), true);
    EXPECT_EQ(gf_readXmlStringParameter(doc, "C"), "text");
    EXPECT_EQ(gf_readXmlIntParameter(doc, "C"), std::nullopt);
    EXPECT_EQ(gf_readXmlBoolParameter(doc, "A"), std::nullopt);
    EXPECT_EQ(gf_readXmlStringParameter(doc, "missing"), std::nullopt);
    // An element without a name counts as the key "".
    EXPECT_EQ(gf_readXmlIntParameter(doc, ""), 1);
    EXPECT_EQ(gf_xmlAttributePath(doc.child("root").child("parameters").child("parameter"), "value"),
              std::filesystem::path(" 12 "));
    EXPECT_EQ(gf_xmlAttributePath(doc.child("root"), "value"), std::nullopt);
}

// ---- single-key saves ----

TEST_F(ParametersFile, SingleKeySaveUpdatesEveryElementOfTheKey)
{
    writeAll(paramsFile(), fileWith(element("RANGE", "30") + element("PORT_NUMBER", "1") +
                                    "    <parameter name=\"RANGE\"/>\n"));
    RANGE.setValue(60);
    RANGE.save();
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), (std::vector<std::string>{"60", "60"}));
    EXPECT_EQ(valuesOf(paramsFile(), "PORT_NUMBER"), std::vector<std::string>{"1"});
    EXPECT_NE(logText().find("RANGE=60\n"), std::string::npos);
    // A key not in the file is appended.
    AUTO_PARK.setValue(false);
    AUTO_PARK.save();
    EXPECT_EQ(keysOf(paramsFile()), (std::vector<std::string>{"RANGE", "PORT_NUMBER", "RANGE", "AUTO_PARK"}));
    EXPECT_EQ(valuesOf(paramsFile(), "AUTO_PARK"), std::vector<std::string>{"false"});
}

TEST_F(ParametersFile, SingleKeySaveToMissingFileWritesThatKey)
{
    DESTINATION.setValue("EDDF");
    DESTINATION.save();
    EXPECT_EQ(readAll(paramsFile()), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n"
                                     "    <parameter name=\"DESTINATION\" value=\"EDDF\" />\n  </parameters>\n</root>\n");
    EXPECT_FALSE(std::filesystem::exists(sideFile(".bak")));
}

TEST_F(ParametersFile, SingleKeySaveOnDamagedFileKeepsItAndWritesEverySetting)
{
    const std::string damaged = "not xml at all";
    writeAll(paramsFile(), damaged);
    RANGE.setValue(25);
    MSFS_INSTALL_PATH.setValue("/sim/packages");
    MATCHING_DEPTH.setAndSave(5);
    EXPECT_EQ(readAll(damagedCopy()), damaged);
    EXPECT_EQ(keysOf(paramsFile()), expectedStoredKeys());
    EXPECT_EQ(valuesOf(paramsFile(), "MATCHING_DEPTH"), std::vector<std::string>{"5"});
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"25"});
    EXPECT_EQ(valuesOf(paramsFile(), "MSFS_INSTALL_PATH"), std::vector<std::string>{"/sim/packages"});
    EXPECT_FALSE(std::filesystem::exists(sideFile(".tmp")));
}

TEST_F(ParametersFile, SetAndSaveClampsAndKeepsOneBackup)
{
    EXPECT_TRUE(gf_loadParameters());
    const std::string before = readAll(paramsFile());
    RANGE_GROUND.setAndSave(1000);
    EXPECT_EQ(RANGE_GROUND.value(), 100);
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE_GROUND"), std::vector<std::string>{"100"});
    EXPECT_EQ(readAll(sideFile(".bak")), before);
    PORT_NUMBER.setAndSave("12000");
    EXPECT_EQ(valuesOf(sideFile(".bak"), "RANGE_GROUND"), std::vector<std::string>{"100"});
    MSFS_2024_INSTALL_PATH.setAndSave(std::filesystem::path("/opt/sim 2024"));
    EXPECT_EQ(valuesOf(paramsFile(), "MSFS_2024_INSTALL_PATH"), std::vector<std::string>{"/opt/sim 2024"});
    EXPECT_FALSE(std::filesystem::exists(sideFile(".tmp")));
}

TEST_F(ParametersFile, ConcurrentSingleKeySavesAllSurvive)
{
    EXPECT_TRUE(gf_loadParameters());
    IntParameter* targets[] = {&RANGE_GROUND, &RANGE_1, &RANGE_2, &RANGE_ABOVE};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &targets] {
            for (int i = 0; i < 10; ++i) targets[t]->setAndSave(50 + t * 10 + i);
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(valuesOf(paramsFile(), targets[t]->name), std::vector<std::string>{std::to_string(59 + t * 10)});
    EXPECT_EQ(keysOf(paramsFile()).size(), 81u);
}

// ---- key removal ----

TEST_F(ParametersFile, RemoveTakesTheFirstElementOnly)
{
    writeAll(paramsFile(), fileWith(element("OLD", "1") + element("RANGE", "30") + element("OLD", "2")));
    EXPECT_TRUE(gf_removeParameterFromFile(Parameter("OLD")));
    EXPECT_EQ(valuesOf(paramsFile(), "OLD"), std::vector<std::string>{"2"});
    EXPECT_TRUE(gf_removeParameterFromFile(Parameter("OLD")));
    EXPECT_FALSE(gf_removeParameterFromFile(Parameter("OLD")));
    EXPECT_EQ(keysOf(paramsFile()), std::vector<std::string>{"RANGE"});
}

TEST_F(ParametersFile, RemoveRefusesFilesWithoutRootOrSection)
{
    EXPECT_FALSE(gf_removeParameterFromFile(Parameter("RANGE")));
    writeAll(paramsFile(), "<parameters><parameter name=\"RANGE\" value=\"1\"/></parameters>");
    EXPECT_FALSE(gf_removeParameterFromFile(Parameter("RANGE")));
    writeAll(paramsFile(), "<root/>");
    EXPECT_FALSE(gf_removeParameterFromFile(Parameter("RANGE")));
    const std::string log = logText();
    EXPECT_NE(log.find("root missing in"), std::string::npos);
    EXPECT_NE(log.find("Section parameters missing in"), std::string::npos);
}

// ---- safe save ----

TEST_F(ParametersFile, SafeSaveRemovesALeftOverSideFile)
{
    writeAll(sideFile(".tmp"), "half a file");
    pugi::xml_document empty;
    EXPECT_FALSE(gf_saveParametersSafely(empty)); // a document without element is refused
    EXPECT_FALSE(std::filesystem::exists(paramsFile()));
    pugi::xml_document doc;
    doc.append_child("root").append_child("parameters");
    EXPECT_TRUE(gf_saveParametersSafely(doc));
    EXPECT_FALSE(std::filesystem::exists(sideFile(".tmp")));
    EXPECT_EQ(keysOf(paramsFile()).size(), 0u);
}

TEST_F(ParametersFile, FailedSafeSaveLeavesTargetAndNoSideFile)
{
    // A folder where the file should be: nothing can replace it.
    std::filesystem::create_directories(paramsFile() / "inside");
    pugi::xml_document doc;
    doc.append_child("root");
    EXPECT_FALSE(gf_saveParametersSafely(doc));
    EXPECT_TRUE(std::filesystem::is_directory(paramsFile() / "inside"));
    EXPECT_FALSE(std::filesystem::exists(sideFile(".tmp")));
}

} // namespace
} // namespace zelk

#include "core/ParametersFile.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#endif

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "core/FileUtils.h"
#include "core/ParameterXml.h"
#include "core/Version.h"
#include "ParameterTestSupport.h"
#include "support/FileSizeLimit.h"

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

// Holds a file open as another program can, sharing nothing: Windows then
// refuses every other open and every move of it. Other systems have no such
// hold (held() is false).
class HeldFile {
public:
    explicit HeldFile([[maybe_unused]] const std::filesystem::path& file)
    {
#ifdef _WIN32
        if (_wsopen_s(&fd_, file.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYRW, 0) != 0) fd_ = -1;
#endif
    }
    ~HeldFile()
    {
#ifdef _WIN32
        if (fd_ >= 0) _close(fd_);
#endif
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

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
    EXPECT_NE(logText().find("parameters.xml could not be opened, creating new with default values:\n"),
              std::string::npos);
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
        EXPECT_EQ(logText().find("creating new with default values"), std::string::npos);
    }
}

// Both damaged: each is kept under a name of its own before the new file's
// save puts the damaged file in place of the backup, at a load and at a
// single-key save alike.
TEST_F(ParametersFile, DamagedFileAndDamagedBackupAreBothKeptAside)
{
    const std::string damaged = "<root><parameters><parameter name=\"RANGE\" value=\"55\"";
    const std::string partialBackup = fileWith(element("RANGE", "33")).substr(0, 120);
    const std::pair<const char*, std::function<void()>> entries[] = {
        {"load", [] { EXPECT_TRUE(gf_loadParameters()); }},
        {"single-key save", [] { MATCHING_DEPTH.setAndSave(5); }},
    };
    for (const auto& [entry, run] : entries) {
        SCOPED_TRACE(entry);
        writeAll(paramsFile(), damaged);
        writeAll(sideFile(".bak"), partialBackup);
        std::filesystem::remove(paramsFile().parent_path() / "parameters0.xml.bak");
        run();
        EXPECT_EQ(readAll(damagedCopy()), damaged);
        EXPECT_EQ(readAll(paramsFile().parent_path() / "parameters0.xml.bak"), partialBackup);
        EXPECT_EQ(keysOf(paramsFile()), expectedStoredKeys());
    }
    EXPECT_NE(logText().find("parameters.xml.bak is damaged too, kept as "), std::string::npos);
}

// Before the run's first load the values in memory are defaults: a key saved
// then (the window's position clamp at creation, a control changed at once)
// goes into the backup that loads, which the load then finds whole.
TEST_F(ParametersFile, SingleKeySaveBeforeTheFirstLoadStartsFromTheBackup)
{
    const std::string damaged = "<root><parameters><parameter name=\"RANGE\" value=\"55\"";
    const std::string backup = fileWith(element("RANGE", "33") + element("MAIN_WINDOW_X", "700"));
    struct Row {
        const char* what;
        std::function<void()> save;
        const char* key;
        const char* value;
    };
    const Row rows[] = {
        {"window position clamp", [] { MAIN_WINDOW_Y.setAndSave(-30000); }, "MAIN_WINDOW_Y", "-30000"},
        {"check box", [] { AUTO_PARK.setValue(false); AUTO_PARK.save(); }, "AUTO_PARK", "false"},
        {"text", [] { DESTINATION.setAndSave("EDDF"); }, "DESTINATION", "EDDF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host_ = test::resetParameterState();
        writeAll(paramsFile(), damaged);
        writeAll(sideFile(".bak"), backup);
        row.save();
        EXPECT_EQ(readAll(sideFile(".bak")), backup);
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 33);
        EXPECT_EQ(MAIN_WINDOW_X.value(), 700);
        EXPECT_EQ(valuesOf(paramsFile(), row.key), std::vector<std::string>{row.value});
        EXPECT_EQ(valuesOf(sideFile(".bak"), "RANGE"), std::vector<std::string>{"33"});
        EXPECT_EQ(readAll(damagedCopy()), damaged);
    }
    // After a load the values in memory are the user's: they are written whole.
    RANGE.setValue(66);
    writeAll(paramsFile(), damaged);
    RANGE_GROUND.setAndSave(50);
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"66"});
    EXPECT_EQ(keysOf(paramsFile()), expectedStoredKeys());
}

// Something at the file's name that cannot be read is no damaged file: it is
// set aside whole, and the backup that loads is taken.
TEST_F(ParametersFile, UnreadableFileIsSetAsideAndItsBackupTaken)
{
    namespace fs = std::filesystem;
    struct Row {
        const char* what;
        std::function<bool()> make; // false when the state cannot be made for this user
        const char* line;
    };
    const Row rows[] = {
        {"link to itself",
         [&] {
             std::error_code ec; // a system without links has nothing to show here
             fs::create_symlink(paramsFile(), paramsFile(), ec);
             return !ec;
         },
         "parameters.xml exists but could not be opened"},
        {"folder", [&] { fs::create_directories(paramsFile() / "inside"); return true; },
         "parameters.xml is a folder, not a file"},
        {"no read permission",
         [&] {
             writeAll(paramsFile(), fileWith(element("RANGE", "44")));
             fs::permissions(paramsFile(), fs::perms::none);
             return !std::ifstream(paramsFile()).is_open();
         },
         "parameters.xml exists but could not be opened"},
    };
    const std::string backup = fileWith(element("RANGE", "33"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(damagedCopy());
        writeAll(sideFile(".bak"), backup);
        if (!row.make()) {
            // Root reads every file, Windows only marks it read-only: nothing to see for this row.
            std::error_code ec;
            fs::permissions(paramsFile(), fs::perms::owner_all, ec);
            fs::remove(paramsFile(), ec);
            continue;
        }
        const fs::file_type kind = fs::symlink_status(paramsFile()).type();
        RANGE.setValue(55);
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 33);
        EXPECT_EQ(fs::symlink_status(damagedCopy()).type(), kind);
        EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"33"});
        EXPECT_EQ(readAll(sideFile(".bak")), backup);
        const std::string log = logText();
        EXPECT_NE(log.find(row.line), std::string::npos);
        EXPECT_NE(log.find("parameters.xml could not be read, taking its backup: from '"), std::string::npos);
        fs::remove(paramsFile());
    }
}

// Where it cannot even be renamed, the program runs on the backup or on the
// defaults, and neither the load nor a later save writes over it.
TEST_F(ParametersFile, UnreadableFileThatCannotBeMovedIsNeverWrittenOver)
{
    namespace fs = std::filesystem;
    // A folder with content at the aside name: no rename can take that name.
    writeAll(damagedCopy() / "kept.txt", "x");
    // Each unreadable kind, made at the name; false when this system has none.
    const std::pair<const char*, std::function<bool()>> kinds[] = {
        {"folder", [&] { writeAll(paramsFile() / "inside.txt", "the user's own"); return true; }},
        {"link to itself",
         [&] {
             std::error_code ec;
             fs::create_symlink(paramsFile(), paramsFile(), ec);
             return !ec;
         }},
    };
    const std::pair<std::string, std::int32_t> rows[] = {{fileWith(element("RANGE", "33")), 33}, {"", 55}};
    for (const auto& [kind, make] : kinds) {
        if (!make()) continue;
        const fs::file_type type = fs::symlink_status(paramsFile()).type();
        for (const auto& [backup, range] : rows) {
            SCOPED_TRACE(std::string(kind) + " " + backup);
            fs::remove(sideFile(".bak"));
            if (!backup.empty()) writeAll(sideFile(".bak"), backup);
            RANGE.setValue(55);
            EXPECT_EQ(gf_loadParameters(), backup.empty());
            EXPECT_EQ(RANGE.value(), range);
            RANGE.setAndSave(40);
            EXPECT_EQ(fs::symlink_status(paramsFile()).type(), type);
            if (type == fs::file_type::directory) {
                EXPECT_EQ(readAll(paramsFile() / "inside.txt"), "the user's own");
            }
            EXPECT_EQ(backup.empty() ? "" : readAll(sideFile(".bak")), backup);
        }
        fs::remove_all(paramsFile());
    }
    const std::string log = logText();
    EXPECT_NE(log.find("parameters.xml could not be set aside: "), std::string::npos);
    EXPECT_NE(log.find("parameters.xml could not be read, running on default values; nothing is written"),
              std::string::npos);
    EXPECT_NE(log.find("parameters.xml could not be read, RANGE is not saved"), std::string::npos);
}

// An unreadable entry keeps the name until its replacement is written: a
// save that fails leaves it there, never a missing file beside the backup
// (which the next start would take for a file the user deleted).
TEST_F(ParametersFile, UnreadableFileKeepsItsNameUntilItsReplacementIsWritten)
{
    namespace fs = std::filesystem;
    const std::string backup = fileWith(element("RANGE", "33"));
    writeAll(sideFile(".bak"), backup);
    writeAll(paramsFile() / "inside.txt", "the user's");
    fs::create_directories(sideFile(".tmp") / "inside"); // no replacement can be written
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 33);
    EXPECT_EQ(readAll(paramsFile() / "inside.txt"), "the user's");
    EXPECT_FALSE(fs::exists(damagedCopy()));

    fs::remove_all(sideFile(".tmp"));
    RANGE.setValue(55);
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 33);
    EXPECT_EQ(readAll(damagedCopy() / "inside.txt"), "the user's");
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"33"});
    EXPECT_EQ(readAll(sideFile(".bak")), backup);

    // A file the user deleted gives a new file of the values in memory.
    fs::remove(paramsFile());
    EXPECT_TRUE(gf_loadParameters());
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"33"});
    EXPECT_EQ(keysOf(paramsFile()), expectedStoredKeys());
}

// Both unreadable: each is moved to its kept name, and no later start
// makes the backup writable and writes over it.
TEST_F(ParametersFile, UnreadableFileAndUnreadableBackupAreBothKeptAside)
{
    namespace fs = std::filesystem;
    const fs::path keptBackup = paramsFile().parent_path() / "parameters0.xml.bak";
    const std::string backup = fileWith(element("RANGE", "33"));
    const std::pair<const char*, std::function<bool()>> kinds[] = {
        {"folder", [&] { writeAll(sideFile(".bak") / "inside.txt", backup); return true; }},
        {"link to itself",
         [&] {
             std::error_code ec;
             fs::create_symlink(sideFile(".bak"), sideFile(".bak"), ec);
             return !ec;
         }},
        {"no read permission",
         [&] {
             writeAll(sideFile(".bak"), backup);
             fs::permissions(sideFile(".bak"), fs::perms::none);
             return !std::ifstream(sideFile(".bak")).is_open();
         }},
    };
    for (const auto& [kind, make] : kinds) {
        SCOPED_TRACE(kind);
        std::error_code ec;
        for (const fs::path& p : {paramsFile(), damagedCopy(), sideFile(".bak"), keptBackup}) fs::remove_all(p, ec);
        writeAll(paramsFile() / "inside.txt", "the user's");
        if (!make()) {
            fs::permissions(sideFile(".bak"), fs::perms::owner_all, ec);
            continue;
        }
        const fs::file_type type = fs::symlink_status(sideFile(".bak")).type();
        EXPECT_TRUE(gf_loadParameters());
        EXPECT_FALSE(gf_loadParameters());
        RANGE.setAndSave(40);
        EXPECT_EQ(readAll(damagedCopy() / "inside.txt"), "the user's");
        EXPECT_EQ(fs::symlink_status(keptBackup).type(), type);
        fs::permissions(keptBackup, fs::perms::owner_all, fs::perm_options::replace | fs::perm_options::nofollow, ec);
        if (type != fs::file_type::symlink) {
            EXPECT_EQ(readAll(type == fs::file_type::directory ? keptBackup / "inside.txt" : keptBackup), backup);
        }
        EXPECT_EQ(keysOf(paramsFile()).size(), 81u);
        EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"40"});
    }
    const std::string log = logText();
    EXPECT_NE(log.find("parameters.xml could not be read, creating new with default values:\n"), std::string::npos);
    EXPECT_NE(log.find("parameters.xml.bak set aside as "), std::string::npos);
}

// The older kept copy gives way only once the unreadable file has left its
// name: one that cannot be moved at all costs nothing kept.
TEST_F(ParametersFile, KeptCopyGivesWayOnlyOnceTheUnreadableFileHasMoved)
{
    namespace fs = std::filesystem;
    const std::string backup = fileWith(element("RANGE", "33"));
    const std::string file = fileWith(element("RANGE", "44"));
    std::optional<HeldFile> hold;
    struct Row {
        const char* what;
        std::function<bool()> make; // false: this system cannot make the row
        bool moved;
    };
    const Row rows[] = {
        {"a folder where the kept copy is a file", [&] { writeAll(paramsFile() / "inside.txt", file); return true; },
         true},
        {"a file another program holds",
         [&] {
             writeAll(paramsFile(), file);
             hold.emplace(paramsFile());
             return hold->held();
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        writeAll(damagedCopy(), "older kept copy");
        writeAll(sideFile(".bak"), backup);
        if (!row.make()) {
            fs::remove_all(paramsFile());
            continue;
        }
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 33);
        EXPECT_FALSE(fs::exists(damagedCopy().string() + ".new"));
        hold.reset();
        if (row.moved) {
            EXPECT_EQ(readAll(damagedCopy() / "inside.txt"), file);
            EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"33"});
        } else {
            EXPECT_EQ(readAll(damagedCopy()), "older kept copy");
            EXPECT_EQ(readAll(paramsFile()), file);
        }
        EXPECT_EQ(readAll(sideFile(".bak")), backup);
        fs::remove_all(paramsFile());
        fs::remove_all(damagedCopy());
    }
}

// A read-only file's mode goes to its backup with the first save; every later
// save must still replace that backup. Windows refuses to move anything over
// the user's read-only file itself: there every save is refused and says so.
TEST_F(ParametersFile, ReadOnlyFileKeepsEverySave)
{
    namespace fs = std::filesystem;
    writeAll(paramsFile(), fileWith(element("RANGE", "20")));
    fs::permissions(paramsFile(), fs::perms::owner_read);
    const bool enforced = !std::ofstream(paramsFile(), std::ios::app).is_open();
    for (const std::int32_t range : {30, 40, 50}) RANGE.setAndSave(range);
    const auto stored = valuesOf(paramsFile(), "RANGE");
    fs::permissions(sideFile(".bak"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
#ifdef _WIN32
    fs::permissions(paramsFile(), fs::perms::owner_all);
    EXPECT_EQ(stored, std::vector<std::string>{"20"});
    EXPECT_EQ(valuesOf(sideFile(".bak"), "RANGE"), std::vector<std::string>{"20"});
    EXPECT_NE(logText().find("saving '" + paramsFile().string() + "' failed"), std::string::npos);
    EXPECT_EQ(RANGE.value(), 50);
#else
    EXPECT_EQ(stored, std::vector<std::string>{"50"});
    EXPECT_EQ(valuesOf(sideFile(".bak"), "RANGE"), std::vector<std::string>{"40"});
#endif
}

// The kept copy of a read-only damaged file is read-only too; the next
// damaged file must still take its place.
TEST_F(ParametersFile, ReadOnlyDamagedFileIsKeptAsideEveryTime)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to replace a read-only file itself, not only its kept copy";
#endif
    namespace fs = std::filesystem;
    bool enforced = false;
    std::vector<std::string> kept;
    for (const std::string damaged : {"<root><parameters><parameter name=", "<root><parameters>"}) {
        writeAll(paramsFile(), damaged);
        fs::permissions(paramsFile(), fs::perms::owner_read);
        enforced = !std::ofstream(paramsFile(), std::ios::app).is_open();
        EXPECT_TRUE(gf_loadParameters());
        kept.push_back(readAll(damagedCopy()));
        fs::permissions(paramsFile(), fs::perms::owner_all);
    }
    fs::permissions(damagedCopy(), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    EXPECT_EQ(kept, (std::vector<std::string>{"<root><parameters><parameter name=", "<root><parameters>"}));
}

// The program's own copies (the save's backup, the kept damaged file and
// backup) are replaced even when read-only, as a copy of a read-only file is:
// on Windows through the read-only attribute.
TEST_F(ParametersFile, ProgramsOwnReadOnlyCopiesAreReplaced)
{
    namespace fs = std::filesystem;
    const std::string damaged = "<root><parameters><parameter name=";
    const std::string damagedBackup = "<root><parameters>";
    const fs::path keptBackup = paramsFile().parent_path() / "parameters0.xml.bak";
    struct Row {
        const char* what;
        fs::path kept;
        std::function<void()> run;
        std::string expected;
    };
    const Row rows[] = {
        {"the save's backup", sideFile(".bak"),
         [&] {
             writeAll(paramsFile(), fileWith(element("RANGE", "20")));
             RANGE.setAndSave(30);
         },
         fileWith(element("RANGE", "20"))},
        // Its copy takes the mode or attribute: the side copy must lose it.
        {"the backup of the user's read-only file", sideFile(".bak"),
         [&] {
             writeAll(paramsFile(), fileWith(element("RANGE", "21")));
             fs::permissions(paramsFile(), fs::perms::owner_read);
             RANGE.setAndSave(31);
         },
         fileWith(element("RANGE", "21"))},
        {"the kept damaged file", damagedCopy(),
         [&] {
             std::filesystem::remove(sideFile(".bak"));
             writeAll(paramsFile(), damaged);
             EXPECT_TRUE(gf_loadParameters());
         },
         damaged},
        {"the kept damaged backup", keptBackup,
         [&] {
             writeAll(paramsFile(), damaged);
             writeAll(sideFile(".bak"), damagedBackup);
             EXPECT_TRUE(gf_loadParameters());
         },
         damagedBackup},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        writeAll(row.kept, "older");
        fs::permissions(row.kept, fs::perms::owner_read);
        row.run();
        fs::permissions(paramsFile(), fs::perms::owner_all);
        EXPECT_EQ(readAll(row.kept), row.expected);
        EXPECT_NE(fs::status(row.kept).permissions() & fs::perms::owner_write, fs::perms::none);
        EXPECT_FALSE(fs::exists(row.kept.string() + ".tmp"));
    }
}

// A copy the program keeps is the old one or the new one, never a cut one:
// a disk that fills up while it is written leaves the old one whole.
TEST_F(ParametersFile, KeptCopyThatCannotBeWrittenWholeStaysAsItWas)
{
#ifdef _WIN32
    GTEST_SKIP() << "no per-process file size limit to stand for a full disk";
#else
    namespace fs = std::filesystem;
    const std::string padding(200 * 1024, ' ');
    const std::string large = fileWith(element("RANGE", "20")) + padding;
    const fs::path keptBackup = paramsFile().parent_path() / "parameters0.xml.bak";
    struct Row {
        const char* what;
        fs::path kept;
        std::function<void()> prepare;
        std::function<void()> run; // on the full disk
    };
    const Row rows[] = {
        {"the save's backup", sideFile(".bak"), [&] { writeAll(paramsFile(), large); }, [] { RANGE.setAndSave(30); }},
        {"the kept damaged backup", keptBackup,
         [&] {
             writeAll(paramsFile(), "<root>");
             writeAll(sideFile(".bak"), "<root><parameters>" + padding);
         },
         [] { gf_loadParameters(); }},
        {"a log's older generation", dir() / "Report0.txt", [&] { writeAll(dir() / "Report.txt", padding); },
         [&] { EXPECT_FALSE(gf_save1GenerationOf(dir() / "Report.txt")); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        writeAll(row.kept, "older");
        row.prepare();
        {
            const test::FileSizeLimit limit(64 * 1024);
            ASSERT_TRUE(limit.active());
            row.run();
        }
        EXPECT_EQ(readAll(row.kept), "older");
        EXPECT_FALSE(fs::exists(row.kept.string() + ".tmp"));
    }
#endif
}

// Livery folders name folders: text that is not UTF-8 takes the default and
// the file is mended; every text setting reaches the log quoted byte for byte.
TEST_F(ParametersFile, LiveryFolderThatIsNotUtf8TakesItsDefaultAndTextsAreLoggedQuoted)
{
    writeAll(paramsFile(), fileWith(element("lfolder3", "C:\\Liv\xC4") + element("lfolder4", "D:\\Liv\xC3\xA4") +
                                    element("DESTINATION", "EDD\xC4") + element("BLOCK_CALLSIGN", "A&#9;B&quot;") +
                                    element("lfolder5", "C:\\L\x7F\xC2\x9B" "i\xE2\x80\xAE" "v\xE2\x80\xA9\xEF\xBB\xBF"
                                                        "r\xE2\x81\xA6\xD8\x9C\xC2\xA0" "y")));
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(lfolder3.value(), "");
    EXPECT_EQ(valuesOf(paramsFile(), "lfolder3"), std::vector<std::string>{""});
    EXPECT_EQ(lfolder4.value(), "D:\\Liv\xC3\xA4");
    EXPECT_EQ(DESTINATION.value(), "EDD\xC4");
    const std::string log = logText();
    for (const char* line : {"lfolder3=\"C:\\Liv\\xC4\"\n", "lfolder3: the stored path is not UTF-8 text, the default is taken\n",
                             "lfolder3=\"\"\n", "lfolder4=\"D:\\Liv\xC3\xA4\"\n", "DESTINATION=\"EDD\\xC4\"\n",
                             "BLOCK_CALLSIGN=\"A\\x09B\\x22\"\n",
                             // DEL and C1 controls, bidirectional controls, separators and format characters.
                             "lfolder5=\"C:\\L\\x7F\\xC2\\x9Bi\\xE2\\x80\\xAEv\\xE2\\x80\\xA9\\xEF\\xBB\\xBFr"
                             "\\xE2\\x81\\xA6\\xD8\\x9C\xC2\xA0y\"\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("lfolder4: the stored path"), std::string::npos);
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

TEST_F(ParametersFile, FolderAtTheSideFileNameIsNamedAndLeft)
{
    writeAll(paramsFile(), fileWith(element("RANGE", "20")));
    std::filesystem::create_directories(sideFile(".tmp") / "inside");
    RANGE.setAndSave(30);
    EXPECT_EQ(valuesOf(paramsFile(), "RANGE"), std::vector<std::string>{"20"});
    EXPECT_TRUE(std::filesystem::is_directory(sideFile(".tmp") / "inside"));
    EXPECT_NE(logText().find("parameters.xml.tmp is a folder, not a file: the save is not possible"), std::string::npos);
}

} // namespace
} // namespace zelk

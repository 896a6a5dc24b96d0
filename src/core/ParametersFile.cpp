#include "core/ParametersFile.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Parameter.h"
#include "core/ParameterXml.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "core/Version.h"
#include "platform/FileCopy.h"
#include "platform/FileReplace.h"

namespace zelk {
namespace {

constexpr std::int64_t kBannerWidth = 70;
constexpr std::int64_t kBannerExtra = 10;

// Set by the first load: until then the values in memory are the defaults,
// not the user's settings. Guarded by the parameters-file lock.
bool lv_loadedOnce = false;

std::string lf_pathText(const std::filesystem::path& p)
{
    try {
        return path_to_utf8(p);
    } catch (const std::exception&) {
        return p.generic_string();
    }
}

void lf_logClosingBanner() { gf_writeLogLine(gf_bannerLine(kBannerWidth, kBannerExtra, false, true, "")); }

// Control updates run after the file lock is released: a window host may wait
// for the window thread, which may itself be waiting for the file lock.
using ShowList = std::vector<std::function<void()>>;

void lf_runShows(const ShowList& shows)
{
    for (const auto& show : shows) show();
}

void lf_addShows(ShowList& shows)
{
    for (GuiBoolParameter* p : guiBoolParameters) shows.emplace_back([p] { p->showValue(); });
    for (IntListParameter* p : intListParameters) shows.emplace_back([p] { p->showValue(); });
    for (ChoiceParameter* p : choiceParameters) shows.emplace_back([p] { p->showValue(); });
}

// Sets the value of the key's first element, or appends an element when the key is missing.
bool lf_storeValueText(pugi::xml_node section, std::string_view key, std::string_view text)
{
    pugi::xml_node element = gf_findParameterElement(section, key);
    if (!element) {
        element = section.append_child("parameter");
        if (!element) return false;
        return gf_appendXmlTextAttribute(element, "name", key) && gf_appendXmlTextAttribute(element, "value", text);
    }
    pugi::xml_attribute value = element.attribute("value");
    if (!value) value = element.append_attribute("value");
    if (!value) return false;
    return value.set_value(std::string(text).c_str());
}

void lf_logAppendFailure(std::string_view key, std::string_view value)
{
    gf_writeLogLineNoThrow(fmt::format("{}adding xml parameter {} with {} failed!", "===> ", key, value));
}

std::string lf_boolText(bool v) { return v ? "true" : "false"; }

// A new document holding every listed parameter's in-memory value, in list order.
void lf_buildNewDocument(pugi::xml_document& doc, ShowList& shows)
{
    doc.reset();
    pugi::xml_node section = doc.append_child("root").append_child("parameters");
    const std::string version = programVersion.toString();
    PROGRAM_VERSION.setDefaultValue(version);
    PROGRAM_VERSION.setValue(version);

    for (BoolParameter* p : boolParameters) p->appendValueTo(section);
    for (GuiBoolParameter* p : guiBoolParameters) p->appendValueTo(section);
    for (IntParameter* p : intParameters) p->appendValueTo(section);
    for (IntListParameter* p : intListParameters) p->appendValueTo(section);
    for (StringParameter* p : stringParameters) p->appendValueTo(section);
    for (ChoiceParameter* p : choiceParameters) p->appendValueTo(section);
    for (PathParameter* p : pathParameters) {
        p->logValue();
        if (!gf_appendXmlPathParameter(section, p->name, p->value())) lf_logAppendFailure(p->name, lf_pathText(p->value()));
    }
    lf_addShows(shows);
}

// How a save of the load ended; LeftAlone: what holds the name cannot be
// read nor moved away, and is not written over.
enum class SaveOutcome { Saved, Failed, LeftAlone };
using DocumentSave = std::function<SaveOutcome(pugi::xml_document&)>;

SaveOutcome lf_saveSafely(pugi::xml_document& doc)
{
    return gf_saveParametersSafely(doc) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

// New file with the in-memory values; the caller holds the file lock.
void lf_writeNewFileLocked(ShowList& shows, const DocumentSave& save = lf_saveSafely)
{
    pugi::xml_document doc;
    lf_buildNewDocument(doc, shows);
    if (save(doc) == SaveOutcome::Failed)
        gf_writeLogNotice(fmt::format("saving: {} failed", lf_pathText(gf_parametersFile())));
    lf_logClosingBanner();
}

// A damaged file is kept beside the new one, so that nothing the user set is
// lost once the backup generation has been overwritten too.
void lf_setDamagedFileAside()
{
    if (!gf_save1GenerationOf(gf_parametersFile()))
        gf_writeLogNotice(fmt::format("could not keep the damaged {}", lf_pathText(gf_parametersFile())));
}

// Missing: nothing has the name. Unopenable: something has it (a folder, a
// file without read permission or locked by another program, a link that
// leads nowhere), and what it holds is unknown: it must not be written over.
enum class ReadResult { Missing, Loaded, Damaged, Unopenable };

// Reads a parameters file; logs why one that exists is not read, and a parse
// failure with the given suffix.
ReadResult lf_readFile(pugi::xml_document& doc, const std::filesystem::path& file,
                       std::string_view parseFailureSuffix)
{
    std::error_code ec;
    if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found)
        return ReadResult::Missing;
    // Only a regular file has a size a stream can tell: a folder opens as a
    // stream on some systems and the parser then asks for an endless buffer.
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::directory) {
        gf_writeLogLine(fmt::format("{} is a folder, not a file", lf_pathText(file)));
        return ReadResult::Unopenable;
    }
    std::ifstream in;
    if (status.type() == std::filesystem::file_type::regular) in.open(file, std::ios::binary);
    if (!in.is_open()) {
        gf_writeLogLine(fmt::format("{} exists but could not be opened", lf_pathText(file)));
        return ReadResult::Unopenable;
    }
    if (const std::uintmax_t size = std::filesystem::file_size(file, ec); !ec && size > kMaxParametersFileBytes) {
        gf_writeLogLine(fmt::format("{} could not be loaded: file too large ({} bytes, at most {}){}", lf_pathText(file),
                                    size, kMaxParametersFileBytes, parseFailureSuffix));
        return ReadResult::Damaged;
    }
    const pugi::xml_parse_result result = doc.load(in);
    if (!result) {
        gf_writeLogLine(fmt::format("{} could not be loaded: {}{}", lf_pathText(file), result.description(),
                                    parseFailureSuffix));
        doc.reset();
        return ReadResult::Damaged;
    }
    return ReadResult::Loaded;
}

std::filesystem::path lf_backupFile()
{
    std::filesystem::path bak = gf_parametersFile();
    bak += ".bak";
    return bak;
}

// Where a damaged or unopenable parameters.xml is kept.
std::filesystem::path lf_damagedCopyFile() { return gf_parametersFile().parent_path() / "parameters0.xml"; }

std::filesystem::path lf_damagedBackupCopyFile() { return gf_parametersFile().parent_path() / "parameters0.xml.bak"; }

// The place where a move aside leaves an entry while an older kept copy of
// another kind (a file where a folder comes) still has the aside name.
std::filesystem::path lf_stagingName(const std::filesystem::path& aside)
{
    std::filesystem::path staging = aside;
    staging += ".new";
    return staging;
}

// Something that cannot be read cannot be copied aside, only renamed. An
// older kept file gives way to it, but only once it has left its name: a
// move that fails (on Windows a file another program holds open) must not
// cost the older copy too. Where it went; none when it stays at its name.
std::optional<std::filesystem::path> lf_moveUnopenableAside(const std::filesystem::path& entry,
                                                            const std::filesystem::path& aside)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    std::error_code ignored;
    // Windows moves over no read-only file, and the older copy is our own.
    platform::makeFileWritable(aside, ignored);
    fs::rename(entry, aside, ec);
    fs::path kept = aside;
    const fs::file_type older = fs::symlink_status(aside, ignored).type();
    if (ec && (older == fs::file_type::regular || older == fs::file_type::symlink)) {
        kept = lf_stagingName(aside);
        fs::rename(entry, kept, ec);
        if (!ec) {
            fs::remove(aside, ignored);
            fs::rename(kept, aside, ignored);
            if (!ignored) kept = aside;
        }
    }
    if (ec) {
        gf_writeLogLine(fmt::format("{} could not be set aside: {}; it is left as it is and not written",
                                    lf_pathText(entry), ec.message()));
        return std::nullopt;
    }
    gf_writeLogLine(fmt::format("{} set aside as {}", lf_pathText(entry), lf_pathText(kept)));
    return kept;
}

bool lf_opensForReading(const std::filesystem::path& file, std::filesystem::file_status status)
{
    if (status.type() != std::filesystem::file_type::regular) return false;
    const std::ifstream in(file, std::ios::binary);
    return in.is_open();
}

// A backup that does not load may still hold part of the settings; it is
// kept under a name of its own before a new file's save replaces it. One
// that cannot be read (no permission, a folder, a link that leads nowhere)
// is moved there whole, as it cannot be copied.
void lf_setDamagedBackupAside()
{
    const std::filesystem::path bak = lf_backupFile();
    const std::filesystem::path aside = lf_damagedBackupCopyFile();
    std::error_code ec;
    if (std::filesystem::symlink_status(bak, ec).type() == std::filesystem::file_type::not_found) return;
    if (!lf_opensForReading(bak, std::filesystem::status(bak, ec))) {
        lf_moveUnopenableAside(bak, aside);
        return;
    }
    if (gf_copyOverKeptFile(bak, aside, ec))
        gf_writeLogLine(fmt::format("{} is damaged too, kept as {}", lf_pathText(bak), lf_pathText(aside)));
    else
        gf_writeLogNotice(fmt::format("could not keep the damaged {}: {}", lf_pathText(bak), ec.message()));
}

// The backup of a damaged file, when it loads: the settings of the last good
// save, which a new file of defaults would throw away. A backup that does
// not load is set aside.
bool lf_readBackup(pugi::xml_document& doc, std::string_view why)
{
    const std::filesystem::path bak = lf_backupFile();
    const ReadResult read = lf_readFile(doc, bak, "");
    if (read == ReadResult::Loaded && gf_findParametersSection(doc)) {
        gf_writeLogLine(fmt::format("{} {}, taking its backup: from '{}'", lf_pathText(gf_parametersFile()), why,
                                    lf_pathText(bak)));
        return true;
    }
    doc.reset();
    if (read != ReadResult::Missing) lf_setDamagedBackupAside();
    return false;
}

// A file the load would take as it stands (parses, below the size limit,
// with a parameters section).
bool lf_loadsAsParameters(const std::filesystem::path& file)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxParametersFileBytes) return false;
    pugi::xml_document doc;
    return doc.load_file(file.c_str()) && gf_findParametersSection(doc);
}

// A livery folder whose text is not UTF-8 (an editor that saved the system's
// code page) names no folder on Windows and would stop every livery scan:
// it takes its default, as a path setting does. False when it was replaced.
bool lf_keepsFolderText(StringParameter& p)
{
    const auto& folders = liveryFolderParameters;
    if (std::find(folders.begin(), folders.end(), &p) == folders.end() || gf_isValidUtf8(p.value())) return true;
    gf_writeLogLine(fmt::format("{}: the stored path is not UTF-8 text, the default is taken", p.name));
    p.setValue(p.defaultValue());
    p.logValue();
    return false;
}

// The single-key save shared by every kind; valueText is the new stored text.
void lf_saveSingleKey(std::string_view key, std::string_view valueText, const std::function<void()>& logLine)
{
    ShowList shows;
    {
        std::scoped_lock guard(gf_parametersFileLock());
        pugi::xml_document doc;
        ReadResult read = lf_readFile(doc, gf_parametersFile(), "");
        // A readable file without its parameters section is as damaged as an unparsable one.
        if (read == ReadResult::Loaded && !gf_findParametersSection(doc)) read = ReadResult::Damaged;

        if (read == ReadResult::Unopenable) {
            // What it holds may be every setting the user has: it is not
            // written over for one key.
            logLine();
            gf_writeLogLineNoThrow(fmt::format("{} could not be read, {} is not saved",
                                               lf_pathText(gf_parametersFile()), key));
            return;
        }
        if (read == ReadResult::Damaged) {
            lf_setDamagedFileAside();
            // Before the first load the values in memory are defaults: written
            // whole, the load would take them and copy them over the backup,
            // which holds the user's settings. The key goes into the backup then.
            if (!lv_loadedOnce && lf_readBackup(doc, "is damaged")) {
                read = ReadResult::Loaded;
            } else {
                if (lv_loadedOnce && !lf_loadsAsParameters(lf_backupFile())) lf_setDamagedBackupAside();
                lf_buildNewDocument(doc, shows);
            }
        }
        if (read == ReadResult::Missing) {
            pugi::xml_node element = doc.append_child("root").append_child("parameters").append_child("parameter");
            if (!element || !gf_appendXmlTextAttribute(element, "name", key) ||
                !gf_appendXmlTextAttribute(element, "value", valueText))
                gf_writeLogLineNoThrow(fmt::format("adding XML parameter '{}' failed", key));
        } else if (read == ReadResult::Loaded) {
            pugi::xml_node section = gf_findParametersSection(doc);
            bool matched = false;
            for (pugi::xml_node element : section.children("parameter")) {
                if (std::string_view(element.attribute("name").value()) != key) continue;
                matched = true;
                pugi::xml_attribute value = element.attribute("value");
                if (!value) value = element.append_attribute("value");
                if (!value || !value.set_value(std::string(valueText).c_str()))
                    gf_writeLogLineNoThrow(fmt::format("updating XML parameter '{}' failed", key));
            }
            if (!matched) {
                pugi::xml_node element = section.append_child("parameter");
                if (!element || !gf_appendXmlTextAttribute(element, "name", key) ||
                    !gf_appendXmlTextAttribute(element, "value", valueText))
                    gf_writeLogLineNoThrow(fmt::format("adding XML parameter '{}' failed", key));
            }
        }
        logLine();
        if (!gf_saveParametersSafely(doc))
            gf_writeLogLineNoThrow(fmt::format("saving '{}' failed", lf_pathText(gf_parametersFile())));
    }
    lf_runShows(shows);
}

template <typename P>
bool lf_appendValue(const P& p, pugi::xml_node section, const std::string& text)
{
    p.logValue();
    pugi::xml_node element = section.append_child("parameter");
    const bool ok = element && gf_appendXmlTextAttribute(element, "name", p.name) &&
                    gf_appendXmlTextAttribute(element, "value", text);
    if (!ok) lf_logAppendFailure(p.name, text);
    return ok;
}

} // namespace

std::mutex& gf_parametersFileLock()
{
    static std::mutex lock;
    return lock;
}

// ---- lookups ----

pugi::xml_node gf_findParametersSection(pugi::xml_node doc)
{
    const pugi::xml_node root = doc.child("root");
    return (root ? root : doc).child("parameters");
}

pugi::xml_node gf_findParameterElement(pugi::xml_node section, std::string_view key)
{
    for (pugi::xml_node element : section.children("parameter"))
        if (gf_xmlAttributeStringOr(element, "name", "") == key) return element;
    return {};
}

std::optional<std::int32_t> gf_readXmlIntParameter(pugi::xml_node node, std::string_view key)
{
    const pugi::xml_node element = gf_findParameterElement(gf_findParametersSection(node), key);
    if (!element) return std::nullopt;
    return gf_xmlAttributeInt(element, "value");
}

std::optional<bool> gf_readXmlBoolParameter(pugi::xml_node node, std::string_view key)
{
    const pugi::xml_node element = gf_findParameterElement(gf_findParametersSection(node), key);
    if (!element) return std::nullopt;
    return gf_xmlAttributeBool(element, "value");
}

std::optional<std::string> gf_readXmlStringParameter(pugi::xml_node node, std::string_view key)
{
    const pugi::xml_node element = gf_findParameterElement(gf_findParametersSection(node), key);
    if (!element) return std::nullopt;
    return gf_xmlAttributeString(element, "value");
}

std::optional<std::filesystem::path> gf_xmlAttributePath(pugi::xml_node node, std::string_view name)
{
    const pugi::xml_attribute attribute = node.attribute(std::string(name).c_str());
    // Checked here, not by the conversion: a system whose paths are UTF-16
    // would throw, one whose paths are bytes would take any text.
    if (!attribute || !gf_isValidUtf8(attribute.value())) return std::nullopt;
    return gf_utf8ToPath(attribute.value());
}

// ---- per-kind load, append and save ----

bool BoolParameter::loadFrom(const pugi::xml_node& doc)
{
    const auto stored = gf_readXmlBoolParameter(doc, name);
    setValue(stored.value_or(defaultValue));
    logValue();
    return stored.has_value();
}

bool BoolParameter::appendDefaultTo(pugi::xml_node section) const
{
    return lf_appendValue(*this, section, lf_boolText(defaultValue));
}

bool BoolParameter::appendValueTo(pugi::xml_node section) const
{
    return lf_appendValue(*this, section, lf_boolText(value()));
}

void BoolParameter::save() const
{
    const bool v = value();
    lf_saveSingleKey(name, lf_boolText(v), [&] { gf_writeLogLineNoThrow(fmt::format("{}={}", name, lf_boolText(v))); });
}

bool IntParameter::appendDefaultTo(pugi::xml_node section) const
{
    return lf_appendValue(*this, section, fmt::format("{}", defaultValue));
}

bool IntParameter::appendValueTo(pugi::xml_node section) const
{
    return lf_appendValue(*this, section, fmt::format("{}", value()));
}

void IntParameter::save() const
{
    const std::int32_t v = value();
    lf_saveSingleKey(name, fmt::format("{}", v), [&] { gf_writeLogLineNoThrow(fmt::format("{}={}", name, v)); });
}

bool StringParameter::loadFrom(const pugi::xml_node& doc)
{
    const auto stored = gf_readXmlStringParameter(doc, name);
    setValue(stored ? *stored : defaultValue());
    logValue();
    return stored.has_value();
}

bool StringParameter::appendDefaultTo(pugi::xml_node section) const
{
    return lf_appendValue(*this, section, defaultValue());
}

bool StringParameter::appendValueTo(pugi::xml_node section) const { return lf_appendValue(*this, section, value()); }

void StringParameter::save() const
{
    const std::string v = value();
    lf_saveSingleKey(name, v, [&] { gf_writeLogLineNoThrow(fmt::format("{}={}", name, gf_quoteSettingText(v))); });
}

bool PathParameter::loadFrom(const pugi::xml_node& doc)
{
    const pugi::xml_node element = gf_findParameterElement(gf_findParametersSection(doc), name);
    std::optional<std::filesystem::path> stored;
    if (element) stored = gf_xmlAttributePath(element, "value");
    if (element && !stored && element.attribute("value"))
        gf_writeLogLine(fmt::format("{}: the stored path is not UTF-8 text, the default is taken", name));
    setValue(stored ? *stored : defaultValue());
    logValue();
    return stored.has_value();
}

void PathParameter::save() const
{
    const std::filesystem::path v = value();
    const std::string text = path_to_utf8(v);
    lf_saveSingleKey(name, text, [&] { gf_writeLogLineNoThrow(fmt::format("{}={}", name, gf_quoteSettingText(text))); });
}

// ---- whole file ----

namespace {

// Writes the document to the side file (".tmp" added to the target's name)
// and reads it back. The side file, or none (and no side file) when either fails.
std::optional<std::filesystem::path> lf_writeCheckedSideFile(pugi::xml_document& doc,
                                                             const std::filesystem::path& target)
{
    std::filesystem::path tmp = target;
    tmp += ".tmp";
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    if (std::filesystem::is_directory(tmp, ec)) {
        gf_writeLogLineNoThrow(fmt::format("{} is a folder, not a file: the save is not possible", lf_pathText(tmp)));
        return std::nullopt;
    }
    std::filesystem::remove(tmp, ec);
    pugi::xml_document check;
    if (gf_saveXmlFile(doc, tmp) && check.load_file(tmp.c_str()) && check.document_element()) return tmp;
    std::filesystem::remove(tmp, ec);
    return std::nullopt;
}

// The load's save where something that cannot be read holds the name: the
// replacement is written and read back first, and takes the name as soon as
// the entry has left it, so that a crash or a failed save does not leave the
// name empty beside the backup (a missing file is one the user deleted, and
// gets the defaults).
SaveOutcome lf_saveInPlaceOfUnopenable(pugi::xml_document& doc)
{
    const std::filesystem::path& file = gf_parametersFile();
    const std::optional<std::filesystem::path> tmp = lf_writeCheckedSideFile(doc, file);
    std::error_code ec;
    std::error_code ignored;
    // Flushed now, the replacement's move follows the entry's at once.
    if (!tmp || !platform::flushFileToDisk(*tmp, ec)) {
        if (tmp) std::filesystem::remove(*tmp, ignored);
        return SaveOutcome::Failed;
    }
    const std::optional<std::filesystem::path> aside = lf_moveUnopenableAside(file, lf_damagedCopyFile());
    if (!aside) {
        std::filesystem::remove(*tmp, ignored);
        return SaveOutcome::LeftAlone;
    }
    if (platform::replaceFileDurably(*tmp, file, ec)) return SaveOutcome::Saved;
    std::filesystem::remove(*tmp, ignored);
    // Back to its name rather than an empty one.
    std::filesystem::rename(*aside, file, ignored);
    return SaveOutcome::Failed;
}

} // namespace

bool gf_loadParameters()
{
    gf_writeLogLine(gf_bannerLine(kBannerWidth, 0, true, false, "parameters"));
    const std::filesystem::path& file = gf_parametersFile();
    const std::string fileText = lf_pathText(file);
    ShowList shows;
    bool createdNew = false;
    {
        std::scoped_lock guard(gf_parametersFileLock());
        pugi::xml_document doc;
        const ReadResult read = lf_readFile(doc, file, "");
        pugi::xml_node section;
        const bool damaged = read == ReadResult::Damaged;
        const std::string_view why = read == ReadResult::Unopenable ? "could not be read" : "is damaged";
        // What cannot be read keeps the name until its replacement is written.
        const DocumentSave save = [&](pugi::xml_document& d) {
            if (read != ReadResult::Unopenable) return lf_saveSafely(d);
            const SaveOutcome outcome = lf_saveInPlaceOfUnopenable(d);
            if (outcome == SaveOutcome::LeftAlone)
                gf_writeLogLine(fmt::format("{} {}, running on {} values; nothing is written", fileText, why,
                                            section ? "its backup's" : "default"));
            return outcome;
        };
        if (read == ReadResult::Missing) {
            gf_writeLogLine(fmt::format("{} could not be opened, creating new with default values:", fileText));
            createdNew = true;
        } else if (read == ReadResult::Loaded) {
            gf_writeLogLine(fmt::format("from '{}'", fileText));
            section = gf_findParametersSection(doc);
            if (!section)
                gf_writeLogLine(fmt::format("Section '{}' not found in '{}'", "parameters", fileText));
        }
        if (damaged || (read == ReadResult::Loaded && !section)) lf_setDamagedFileAside();
        if (!createdNew && !section) {
            if (lf_readBackup(doc, why)) {
                section = gf_findParametersSection(doc);
            } else {
                gf_writeLogLine(fmt::format("{} {}, creating new with default values:", fileText, why));
                createdNew = true;
            }
        }
        if (createdNew) {
            lf_writeNewFileLocked(shows, save);
        } else {
            const auto store = [&](const Parameter& p, const std::string& text) {
                if (!lf_storeValueText(section, p.name, text)) lf_logAppendFailure(p.name, text);
            };
            for (BoolParameter* p : boolParameters)
                if (!p->loadFrom(doc)) store(*p, lf_boolText(p->value()));
            for (GuiBoolParameter* p : guiBoolParameters)
                if (!p->loadFrom(doc)) store(*p, lf_boolText(p->value()));
            const auto loadInt = [&](IntParameter& p) {
                const auto stored = gf_readXmlIntParameter(doc, p.name);
                p.setValue(stored ? p.clamp(*stored) : p.defaultValue);
                if (!stored) store(p, fmt::format("{}", p.value()));
                gf_writeLogLine(fmt::format("{}={}", p.name, p.value()));
            };
            for (IntParameter* p : intParameters) loadInt(*p);
            for (IntListParameter* p : intListParameters) loadInt(*p);
            for (StringParameter* p : stringParameters)
                if (!p->loadFrom(doc) || !lf_keepsFolderText(*p)) store(*p, p->value());
            for (ChoiceParameter* p : choiceParameters)
                if (!p->loadFrom(doc)) store(*p, p->value());
            for (PathParameter* p : pathParameters)
                if (!p->loadFrom(doc)) store(*p, path_to_utf8(p->value()));
            lf_addShows(shows);
            save(doc);
            lf_logClosingBanner();
        }
        lv_loadedOnce = true;
    }
    lf_runShows(shows);
    return createdNew;
}

void gf_forgetParametersLoad()
{
    std::scoped_lock guard(gf_parametersFileLock());
    lv_loadedOnce = false;
}

void gf_writeNewParametersFile()
{
    ShowList shows;
    {
        std::scoped_lock guard(gf_parametersFileLock());
        lf_writeNewFileLocked(shows);
    }
    lf_runShows(shows);
}

bool gf_removeParameterFromFile(const Parameter& parameter)
{
    std::scoped_lock guard(gf_parametersFileLock());
    const std::filesystem::path& file = gf_parametersFile();
    pugi::xml_document doc;
    if (lf_readFile(doc, gf_parametersFile(), "") != ReadResult::Loaded) return false;
    const pugi::xml_node root = doc.child("root");
    if (!root) {
        gf_writeLogLine(fmt::format("{} missing in {}", "root", lf_pathText(file)));
        return false;
    }
    pugi::xml_node section = root.child("parameters");
    if (!section) {
        gf_writeLogLine(fmt::format("Section {} missing in {}", "parameters", lf_pathText(file)));
        return false;
    }
    const pugi::xml_node element = gf_findParameterElement(section, parameter.name);
    if (!element) return false;
    section.remove_child(element);
    gf_writeLogLineNoThrow(fmt::format("Parameter '{}' removed", parameter.name));
    return gf_saveParametersSafely(doc);
}

// ---- safe save ----

bool gf_saveXmlFileSafely(pugi::xml_document& doc, const std::filesystem::path& target,
                          const std::function<bool(const std::filesystem::path&)>& loads)
{
    std::filesystem::path bak = target;
    bak += ".bak";
    const std::optional<std::filesystem::path> side = lf_writeCheckedSideFile(doc, target);
    if (!side) return false;
    const std::filesystem::path& tmp = *side;
    std::error_code ec;
    const auto dropTmp = [&] {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        return false;
    };

    const auto status = std::filesystem::status(target, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found) return dropTmp();
    // What cannot be read is not known to be damaged: it is never replaced.
    if (std::filesystem::exists(status) && !lf_opensForReading(target, status)) return dropTmp();
    // A damaged target never replaces a backup that loads: that may be the
    // only good copy left.
    if (std::filesystem::exists(status) && (!loads || loads(target) || !loads(bak)) &&
        !gf_copyOverKeptFile(target, bak, ec))
        return dropTmp();
    if (!platform::replaceFileDurably(tmp, target, ec)) return dropTmp();
    return true;
}

bool gf_saveParametersSafely(pugi::xml_document& doc)
{
    return gf_saveXmlFileSafely(doc, gf_parametersFile(), lf_loadsAsParameters);
}

} // namespace zelk

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace zelk {

class Parameter;

// parameters.xml in the per-user program data folder:
// root > parameters > parameter name=KEY value=TEXT, one element per key.

// Held by every read-modify-write of parameters.xml, from reading the file to
// the end of its safe save.
std::mutex& gf_parametersFileLock();

// A parameters.xml larger than this is not ours: it is treated as damaged.
inline constexpr std::uint64_t kMaxParametersFileBytes = 1'048'576;

// Loads every listed parameter at the start of a run. A damaged file (too
// large, cannot be parsed or has no parameters section) is first kept as
// parameters0.xml; its backup (parameters.xml.bak) is then loaded in its place
// when that one loads, and kept as parameters0.xml.bak when it does not.
// Something at the name that cannot be read (no permission, locked, a folder)
// is handled the same way, but it can only be renamed: its replacement is
// written beside it first and takes the name as soon as it has been renamed
// to parameters0.xml, so that the name is never left empty (an older
// parameters0.xml gives way only once the rename has worked). When it cannot
// be renamed, the backup's or the in-memory values are used and nothing is
// written over it, now or by a later single-key save. A backup that cannot
// be read is renamed to parameters0.xml.bak. A missing file, or a
// damaged one without such a backup, is replaced by a new file holding the
// in-memory values; returns true then, and when the in-memory values are
// used without a file. Otherwise missing keys take their defaults and are
// added, an unreadable stored value (a livery folder that is not UTF-8 text
// among them) is replaced by the default in place, integers are clamped to
// their ranges, and the file is saved again; returns false.
bool gf_loadParameters();

// Forgets that a load has run, as at program start: until the next load a
// single-key save on a damaged file starts from a backup that loads (the
// values in memory are defaults then, not the user's settings). Tests start
// each case with it as a program just started.
void gf_forgetParametersLoad();

// Writes a new parameters.xml holding every listed parameter's in-memory value,
// with PROGRAM_VERSION set to the program's version (in memory too).
void gf_writeNewParametersFile();

// Removes the first element with the parameter's key; true when it was removed and saved.
bool gf_removeParameterFromFile(const Parameter& parameter);

// The parameters section of a document: root > parameters, or parameters
// directly under the node when it has no root. Null when there is none.
pugi::xml_node gf_findParametersSection(pugi::xml_node doc);

// The first parameter element of the section with the key (byte for byte).
pugi::xml_node gf_findParameterElement(pugi::xml_node section, std::string_view key);

// Lookup of a key under node (root > parameters > first parameter with the
// key), its "value" read by the rules of its kind; empty when the key is
// missing or its value cannot be read (later elements of the key are not read).
std::optional<std::int32_t> gf_readXmlIntParameter(pugi::xml_node node, std::string_view key);
std::optional<bool> gf_readXmlBoolParameter(pugi::xml_node node, std::string_view key);
std::optional<std::string> gf_readXmlStringParameter(pugi::xml_node node, std::string_view key);

// The attribute's UTF-8 text as a path; empty when the attribute is missing
// or its text is not well-formed UTF-8 (an editor that saved the system's
// code page), on every system alike.
std::optional<std::filesystem::path> gf_xmlAttributePath(pugi::xml_node node, std::string_view name);

// Saves the document to parameters.xml through a side file (".tmp" added to
// the name) that is read back before it replaces the target in one durable
// move; the previous file is kept as ".bak", unless it is damaged and the
// ".bak" loads. False leaves the target untouched and no
// ".tmp" behind; so does a target that exists but cannot be read, or a
// folder at the side file's name. The ".bak" is replaced as every kept copy
// is (gf_copyOverKeptFile): the old or the new copy, never a cut one, and
// replaced even when read-only. The caller holds the parameters-file lock.
bool gf_saveParametersSafely(pugi::xml_document& doc);

// The same safe save to any target file; loads tells whether a file is fit
// to be taken (none: every one is), and a damaged target never replaces a
// ".bak" that is.
bool gf_saveXmlFileSafely(pugi::xml_document& doc, const std::filesystem::path& target,
                          const std::function<bool(const std::filesystem::path&)>& loads = {});

} // namespace zelk

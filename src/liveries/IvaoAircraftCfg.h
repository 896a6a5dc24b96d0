#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "liveries/AircraftCfg.h"

namespace zelk {

// IVAO MTL aircraft.cfg files: the model is part of the aircraft folder's
// name, the airline code begins each title and the texture key names a
// texture folder that must exist.

std::vector<LiveryRecord> lf_searchLiveriesinIVAOFile(LiveryScanLists& scan, std::uint32_t priority,
                                                      const std::filesystem::path& file);

// lf_readAircraftCfg's reading of an IVAO MTL file (lf_searchLiveriesinIVAOFile's
// without the join); throws what the reading throws, after logging it.
void lf_readIvaoFile(AircraftCfgRead& read);
// The IVAO MTL sections of the lines as pending liveries of `read` (model and folder set).
void lf_readIvaoFltSimSections(AircraftCfgRead& read, const Lines& lines, const LineNumbers& bracketLines);

// The model of the file from ".../IVAO_MTL/SimObjects/Airplanes/IVAO_<model>/aircraft.cfg"
// (or ivao_x-csl in place of IVAO_MTL), letter case ignored; empty (reported) when
// the path has another form or the code is no model.
std::string lf_ivaoModelFromPath(LiveryScanLists& scan, const std::filesystem::path& file);

std::vector<LiveryRecord> lf_splitIvaoFltSimSections(LiveryScanLists& scan, std::uint32_t priority, const Lines& lines,
                                                     const std::string& model, const std::filesystem::path& file);

// A record with an empty title and a zero key when the section yields none.
LiveryRecord lf_processIvaoFltSimSection(LiveryScanLists& scan, std::uint32_t priority, SectionLines section,
                                         const std::string& model, const std::filesystem::path& file);

// The airline code of a title "<model>[W] <code>...": three letters, digits or
// '_' after the model, in the title's letter case; empty when it has another form.
std::string lf_ivaoAirlineOfTitle(std::string_view title, std::string_view model, bool wFolder);

} // namespace zelk

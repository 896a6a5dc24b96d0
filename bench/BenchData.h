#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/LiveryRecord.h"

namespace zelk::bench {

// The livery set of the matching and memory benchmarks: 50,000 liveries of
// 400 airlines and 300 models, operators, cargo, "ZZZ" and registrations.
constexpr std::size_t kLiveries = 50'000;
constexpr std::size_t kAirlines = 400;
constexpr std::size_t kModels = 300;

std::string airlineCode(std::size_t i);
std::string modelCode(std::size_t i);
// A database with those models in every category, similar groups of three
// neighbours and every airline known.
std::string dbaseXml();
LiveryKey liveryKey(std::string_view airline, std::string_view op, std::string_view model, bool cargo);
std::vector<LiveryRecord> liveries();

// A new folder of this run's own under the temporary folder ("<name>-<random>"),
// removed when the process ends: two benchmark runs at once never share or
// delete each other's working files.
std::filesystem::path ownTempFolder(std::string_view name);

// A field of the process status in kB ("VmHWM:" peak, "VmRSS:" now); 0 where
// the system has no such file.
long statusKb(std::string_view field);

// Encrypts the shipped airports list of the source tree (data/airports.xml)
// into the working folder's input/ and loads it through the program's loader;
// the number of airports read, 0 when the list is not there.
std::size_t loadShippedAirports();

} // namespace zelk::bench

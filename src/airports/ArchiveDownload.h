#pragma once

#include <filesystem>
#include <string>

#include "core/EncryptedFile.h"

namespace zelk {

// An airport file of the maker's archive fetched into a temporary file of the
// airports folder ("park_airport.<pid>.<n>.enc" or "airport.<pid>.<n>.xml").
struct ArchivedApfLocation {
    std::filesystem::path file; // empty: not an archive path, the caller reads its own file
    bool downloaded = false;
    bool encrypted = false;
};

// Downloads an archive path (first component exactly "archive") from the
// server folder of the running simulator. In maintenance no request is made.
// Errors: "Web server temporarily unavailable due to maintenance.", or
// "failed to download: '<url>'" (also shown on the status line); no file is
// left behind then. Blocks; a stop request ends the transfer.
ValueOrError<ArchivedApfLocation> lf_locateArchivedAirportFile(const std::filesystem::path& archivePath,
                                                                bool forParkAirport);
// Empty on success, else the error text; the target is gone after a failure.
std::string lf_downloadAirportFile(const std::filesystem::path& archivePath, const std::filesystem::path& target,
                                   bool binary);

} // namespace zelk

#pragma once

#include <filesystem>

namespace zelk {

// The tblo package: after a successful scenery scan, the generated airport
// files of add-on airports with live traffic are zipped into "tblo/tblo.zip",
// which the user mails to the maker so those airports can join the archive.
// Worker thread only; the pending flag and the Tblo button tell the window.

inline constexpr const char* kTbloContactFileName = "email address.txt";

// Empties (or creates) the tblo folder at a scan's start; throws
// std::filesystem::filesystem_error when it cannot be created.
void lf_prepareTbloFolder();
void lf_copySimaddonsToTblo();
void lf_copyThirdpartiesToTblo();
// Zips what was copied. A zip that fails keeps the copies in the folder for
// the next scan and leaves the flag and the button off.
void lf_zipTbloFolder();
// Zips every regular file directly in the tblo folder; true when a zip with
// at least one file was written.
bool lf_zipFolder(const std::filesystem::path& zipFile);
// After a successful walk: the folder goes unless it holds a package to send
// or copies a failed zip kept.
void lf_finishTbloFolder();
// After a scan that was not committed.
void lf_dropTbloFolder() noexcept;

} // namespace zelk

#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// The login of the web-API feed: a licence string, or an API token ("rt_...").
struct RTCredential {
    std::string value;
    bool isApiToken = false;
    std::filesystem::path source; // the file it came from

    bool operator==(const RTCredential&) const = default;
};

// Largest credential file read; anything bigger is not a credential.
inline constexpr std::uintmax_t kMaxCredentialFileBytes = 64 * 1024;

// Where RealTraffic.lic is looked for, first found valid wins: the program's
// per-user folder, the RealTraffic app's own per-user folder ("InsideSystems"
// under the roaming folder) and the working folder.
std::vector<std::filesystem::path> gf_rtCredentialCandidates();

// The file the user is told to place a new credential in.
std::filesystem::path gf_rtCredentialHomeFile();

// The credential a file's text holds: the "License" string of a JSON object,
// or else the first non-empty line; nullopt with the reason in why when there
// is none or it is a placeholder or holds characters a credential cannot have.
std::optional<std::string> lf_parseCredentialText(std::string_view text, std::string* why = nullptr);

// Placeholder values that set-up templates ship ("YOUR_LICENSE_HERE", "<token>", "xxxx").
bool lf_isPlaceholderCredential(std::string_view value);

// Finds, loads and stores the credential; throws UserRelatedException 899
// "No valid RT license / API-token found. Place your new license in '{}'."
// when no candidate holds a valid one (the stored one is then cleared).
void gf_loadRTCredential();

// The stored credential; nullopt before a successful load.
std::optional<RTCredential> gf_rtCredential();
void gf_clearRTCredential();
// Stores a credential found elsewhere (a test's own).
void gf_setRTCredential(RTCredential credential);

} // namespace zelk

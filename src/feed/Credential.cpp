#include "feed/Credential.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"

namespace zelk {

namespace {

constexpr std::size_t kMinCredentialLength = 8;
constexpr std::size_t kMaxCredentialLength = 512;
constexpr std::string_view kApiTokenPrefix = "rt_";

struct CredentialStore {
    std::mutex lock;
    std::optional<RTCredential> credential;
};

CredentialStore& lf_store()
{
    static CredentialStore store;
    return store;
}

std::string lf_lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The value goes into a login request: only characters that licences and
// tokens are made of, so that nothing can break out of the request.
bool lf_hasCredentialCharacters(std::string_view value)
{
    return std::all_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) != 0 || c == '-' || c == '_' || c == '.' || c == '~' || c == '+' || c == '/' ||
               c == '=';
    });
}

void lf_setWhy(std::string* why, std::string text)
{
    if (why != nullptr) *why = std::move(text);
}

std::optional<std::string> lf_readSmallFile(const std::filesystem::path& file, std::string& why)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        why = ec.message();
        return std::nullopt;
    }
    if (!std::filesystem::exists(status)) {
        why = "not found";
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(status)) {
        why = "not a file";
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        why = ec.message();
        return std::nullopt;
    }
    if (size > kMaxCredentialFileBytes) {
        why = fmt::format("file too large ({} bytes)", size);
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        why = "cannot be opened";
        return std::nullopt;
    }
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        why = "cannot be read";
        return std::nullopt;
    }
    return text;
}

} // namespace

bool lf_isPlaceholderCredential(std::string_view value)
{
    if (value.empty()) return true;
    const char first = value.front();
    const char last = value.back();
    if ((first == '<' && last == '>') || (first == '[' && last == ']') || (first == '{' && last == '}')) return true;
    const std::string lower = lf_lower(value);
    for (std::string_view marker : {"your", "placeholder", "license", "licence", "insert", "paste", "xxxx", "****"}) {
        if (lower.find(marker) != std::string::npos) return true;
    }
    // A bare token prefix, or one character repeated.
    if (lower == kApiTokenPrefix) return true;
    return std::all_of(value.begin(), value.end(), [&](char c) { return c == first; });
}

std::optional<std::string> lf_parseCredentialText(std::string_view text, std::string* why)
{
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::string trimmed = gf_trim(text);
    std::string value;
    if (trimmed.starts_with('{')) {
        const nlohmann::json doc = nlohmann::json::parse(trimmed, nullptr, false);
        if (doc.is_discarded() || !doc.is_object()) {
            lf_setWhy(why, "not valid JSON");
            return std::nullopt;
        }
        const auto it = doc.find("License");
        if (it == doc.end() || !it->is_string()) {
            lf_setWhy(why, "no \"License\" text");
            return std::nullopt;
        }
        value = gf_trim(it->get_ref<const std::string&>());
    } else {
        // The text is trimmed, so its first line is the first non-blank one.
        value = gf_trim(std::string_view(trimmed).substr(0, trimmed.find_first_of("\r\n")));
    }
    if (lf_isPlaceholderCredential(value)) {
        lf_setWhy(why, value.empty() ? "empty" : "placeholder value");
        return std::nullopt;
    }
    if (value.size() < kMinCredentialLength || value.size() > kMaxCredentialLength) {
        lf_setWhy(why, fmt::format("unlikely length {}", value.size()));
        return std::nullopt;
    }
    if (!lf_hasCredentialCharacters(value)) {
        lf_setWhy(why, "characters a license or token does not contain");
        return std::nullopt;
    }
    return value;
}

std::filesystem::path gf_rtCredentialHomeFile() { return gf_programDataFolder() / kRealTrafficLicFileName; }

std::vector<std::filesystem::path> gf_rtCredentialCandidates()
{
    std::vector<std::filesystem::path> candidates{gf_rtCredentialHomeFile()};
    const std::filesystem::path roaming = gf_getAppDataPath();
    if (!roaming.empty()) candidates.push_back(roaming / kInsideSystemsFolderName / kRealTrafficLicFileName);
    candidates.push_back(kRealTrafficLicFileName);
    return candidates;
}

void gf_loadRTCredential()
{
    for (const std::filesystem::path& file : gf_rtCredentialCandidates()) {
        std::string why;
        const std::optional<std::string> text = lf_readSmallFile(file, why);
        if (!text) {
            if (why != "not found") gf_writeLogNotice(fmt::format("'{}' skipped: {}", path_to_utf8(file), why));
            continue;
        }
        std::optional<std::string> value = lf_parseCredentialText(*text, &why);
        if (!value) {
            gf_writeLogNotice(fmt::format("'{}' holds no valid RT license or API token: {}", path_to_utf8(file), why));
            continue;
        }
        RTCredential credential;
        credential.isApiToken = value->starts_with(kApiTokenPrefix);
        credential.value = std::move(*value);
        credential.source = file;
        // Never the value itself: the log is sent to support.
        gf_writeLogLine(fmt::format("RT {} loaded from '{}'", credential.isApiToken ? "API token" : "license",
                                    path_to_utf8(file)));
        std::scoped_lock guard(lf_store().lock);
        lf_store().credential = std::move(credential);
        return;
    }
    gf_clearRTCredential();
    throw UserRelatedException(899, fmt::format("No valid RT license / API-token found. Place your new license in '{}'.",
                                                path_to_utf8(gf_rtCredentialHomeFile())));
}

std::optional<RTCredential> gf_rtCredential()
{
    std::scoped_lock guard(lf_store().lock);
    return lf_store().credential;
}

void gf_setRTCredential(RTCredential credential)
{
    std::scoped_lock guard(lf_store().lock);
    lf_store().credential = std::move(credential);
}

void gf_clearRTCredential()
{
    std::scoped_lock guard(lf_store().lock);
    lf_store().credential.reset();
}

} // namespace zelk

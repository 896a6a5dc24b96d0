#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <curl/curl.h>

namespace zelk {

// The maker's download folder; every server path of the update component is
// relative to it. The product only ever talks https with certificate checks.
inline constexpr std::string_view kDownloadServerBase = "https://downloads.quelvarin.net/zelk/";

// Environment variable that points the downloader at a local test server. It is
// honoured only for a plain http address on the loopback interface ending in
// '/', so it can never send the program to another machine.
inline constexpr const char* kDownloadBaseOverrideVariable = "ZELK_DOWNLOAD_BASE";

// kDownloadServerBase, or the loopback test address from the environment.
std::string gf_downloadServerBase();

struct DownloadHandleDeleter {
    void operator()(CURL* handle) const noexcept;
};
// One libcurl easy handle; one per download, released when it goes out of scope.
using DownloadHandle = std::unique_ptr<CURL, DownloadHandleDeleter>;

// A fresh handle (null when libcurl cannot make one).
DownloadHandle gf_newDownloadHandle();

// Transfer time-outs. A transfer that moves less than lowSpeedLimitBytes per
// second for lowSpeedTimeSeconds is cut off.
struct DownloadLimits {
    long connectTimeoutSeconds = 10;
    long lowSpeedLimitBytes = 1;
    long lowSpeedTimeSeconds = 30;
};

// Downloads url into target: the content goes to target + ".download_tmp"
// first and replaces target durably only when the whole transfer succeeded
// with a 2xx answer that has a body. binary selects binary or text writing.
// A transfer is stopped (with a notice) as soon as it announces or delivers
// more than maxBytes, and a stop request aborts a running transfer. Never
// throws; on false the target is untouched and no temporary file is left.
bool gf_downloadFile(CURL* handle, std::string_view url, const std::filesystem::path& target, bool binary,
                     std::uint64_t maxBytes, const DownloadLimits& limits = {});

// Downloads "input/<name>" of the server (name with '/' separators) into
// target in binary mode, at most maxBytes, with a handle of its own; logs the
// result.
bool gf_downloadInputFile(const std::filesystem::path& relativeName, const std::filesystem::path& target,
                          std::uint64_t maxBytes);

} // namespace zelk

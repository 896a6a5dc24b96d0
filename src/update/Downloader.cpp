#include "update/Downloader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "platform/FileReplace.h"

namespace zelk {
namespace {

struct DownloadSink {
    std::ofstream* out = nullptr;
    std::uint64_t maxBytes = 0;
    std::uint64_t bytes = 0;
    bool tooLarge = false;
};

// Streams each received block straight to the temporary file; a short count
// makes libcurl end the transfer with a write error. A server that sends
// more than it may (or announced nothing) is cut off at the limit.
std::size_t lf_curlWriteToFile(char* data, std::size_t size, std::size_t count, void* userData)
{
    auto* sink = static_cast<DownloadSink*>(userData);
    const std::size_t length = size * count;
    if (length > sink->maxBytes - sink->bytes) {
        sink->tooLarge = true;
        return 0;
    }
    sink->out->write(data, static_cast<std::streamsize>(length));
    if (!*sink->out) return 0;
    sink->bytes += length;
    return length;
}

// libcurl calls this at least once a second, also while nothing arrives, so a
// stop request ends a stalled transfer promptly.
int lf_curlAbortWhenStopping(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return gf_isRunning() ? 0 : 1;
}

curl_off_t lf_curlSize(std::uint64_t bytes)
{
    return static_cast<curl_off_t>(std::min<std::uint64_t>(bytes, std::numeric_limits<curl_off_t>::max()));
}

bool lf_isLoopbackHttpBase(std::string_view base)
{
    if (base.empty() || base.back() != '/') return false;
    for (std::string_view prefix : {"http://127.0.0.1:", "http://localhost:", "http://[::1]:"}) {
        if (base.starts_with(prefix)) return true;
    }
    return false;
}

// Only a complete answer may replace the target: 204 and 205 carry no
// content, 206 would be a fragment we never asked for, and a redirect's body
// is the server's note, not the file.
bool lf_isCompleteAnswer(long status, std::uint64_t bytes)
{
    return status >= 200 && status <= 299 && status != 204 && status != 205 && status != 206 && bytes > 0;
}

std::string lf_pathTextNoThrow(const std::filesystem::path& p) noexcept
{
    try {
        return path_to_utf8(p);
    } catch (...) {
        return "?";
    }
}

void lf_initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

std::string gf_downloadServerBase()
{
    const char* override = std::getenv(kDownloadBaseOverrideVariable);
    if (override == nullptr || *override == '\0') return std::string(kDownloadServerBase);
    if (lf_isLoopbackHttpBase(override)) return override;
    gf_writeLogNotice(fmt::format("Ignoring {}='{}': only a loopback http address ending in '/' is accepted",
                                  kDownloadBaseOverrideVariable, override));
    return std::string(kDownloadServerBase);
}

void DownloadHandleDeleter::operator()(CURL* handle) const noexcept
{
    curl_easy_cleanup(handle);
}

DownloadHandle gf_newDownloadHandle()
{
    lf_initCurlOnce();
    return DownloadHandle(curl_easy_init());
}

bool gf_downloadFile(CURL* handle, std::string_view url, const std::filesystem::path& target, bool binary,
                     std::uint64_t maxBytes, const DownloadLimits& limits)
{
    if (handle == nullptr) return false;
    try {
        std::filesystem::path tmp = target;
        tmp += ".download_tmp";
        std::error_code ec;
        std::filesystem::remove(tmp, ec);
        if (ec) {
            gf_writeLogNotice(
                fmt::format("Could not remove stale temporary download '{}': {}", path_to_utf8(tmp), ec.message()));
            return false;
        }
        // Whatever happens from here on, no temporary file outlives the call.
        ScopedFileRemover tmpRemover(tmp);
        std::ofstream out(tmp, binary ? (std::ios::out | std::ios::binary | std::ios::trunc)
                                      : (std::ios::out | std::ios::trunc));
        if (!out.is_open()) {
            gf_writeLogLine(fmt::format("Could not open temporary download file: {}", path_to_utf8(tmp)));
            return false;
        }

        const std::string urlText(url);
        DownloadSink sink{&out, maxBytes};
        const bool configured =
            curl_easy_setopt(handle, CURLOPT_URL, urlText.c_str()) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_USERAGENT, "ZELK") == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &lf_curlWriteToFile) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
            // An announced length above the limit ends the transfer before any byte.
            curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, lf_curlSize(maxBytes)) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedLimitBytes) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedTimeSeconds) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &lf_curlAbortWhenStopping) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
            // The download server is trusted only through its certificate:
            // verification stays on and redirects are never followed.
            curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
            curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
            // Signals cannot be used for time-outs in a program with threads.
            curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
        if (!configured) {
            gf_writeLogNotice(fmt::format("Could not configure download for '{}'", urlText));
            return false;
        }

        const CURLcode performed = curl_easy_perform(handle);
        if (sink.tooLarge || performed == CURLE_FILESIZE_EXCEEDED) {
            gf_writeLogNotice(fmt::format("Download of '{}' stopped: larger than {} bytes", urlText, maxBytes));
            return false;
        }
        if (performed != CURLE_OK) return false;

        long status = 0;
        if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK ||
            !lf_isCompleteAnswer(status, sink.bytes)) {
            gf_writeLogLine(fmt::format("Download of '{}' refused: HTTP status {} with {} bytes", urlText, status,
                                        sink.bytes));
            return false;
        }

        out.flush();
        if (!out) {
            gf_writeLogNotice(fmt::format("Could not flush temporary download file '{}'", path_to_utf8(tmp)));
            return false;
        }
        out.close();
        if (!out) {
            gf_writeLogNotice(fmt::format("Could not close temporary download file '{}'", path_to_utf8(tmp)));
            return false;
        }
        if (!platform::replaceFileDurably(tmp, target, ec)) {
            gf_writeLogNotice(fmt::format("Could not replace downloaded file '{}': {}", path_to_utf8(target),
                                          ec.message()));
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        gf_writeLogLineNoThrow(
            fmt::format("Downloader exception: '{}', {} => {}", e.what(), url, lf_pathTextNoThrow(target)));
        return false;
    }
}

bool gf_downloadInputFile(const std::filesystem::path& relativeName, const std::filesystem::path& target,
                          std::uint64_t maxBytes)
{
    const std::u8string name = relativeName.generic_u8string();
    const std::string url = fmt::format("{}input/{}", gf_downloadServerBase(), std::string(name.begin(), name.end()));
    DownloadHandle handle = gf_newDownloadHandle();
    if (gf_downloadFile(handle.get(), url, target, true, maxBytes)) {
        gf_writeLogLine(fmt::format("Downloaded '{}' to '{}'", url, path_to_utf8(target)));
        return true;
    }
    gf_writeLogNotice(fmt::format("Downloading '{}' failed!", url));
    return false;
}

} // namespace zelk

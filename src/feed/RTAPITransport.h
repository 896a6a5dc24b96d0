#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "feed/RTAPIProtocol.h"

namespace zelk {

// Limits of one request. The transfer limit covers the whole request,
// connection included.
struct RTAPILimits {
    std::chrono::seconds connect{10};
    std::chrono::seconds transfer{20};
};
inline constexpr RTAPILimits kRTAPILogoutLimits{std::chrono::seconds(5), std::chrono::seconds(5)};
// A reply longer than this is cut off.
inline constexpr std::size_t kMaxRTAPIReplyBytes = 32u * 1024 * 1024;

// What became of one request.
struct RTAPITransfer {
    bool ok = false;       // a reply came (whatever its status)
    long httpStatus = 0;
    std::string error;     // why not, for the log ("SSL peer certificate ...")
    bool aborted = false;  // stopped by abort() or the cancel test
    bool cutOff = false;   // the reply grew over kMaxRTAPIReplyBytes
};

// The HTTPS transport of one reader: one libcurl easy handle (its connection
// kept between requests) and the text of the last reply. Certificate checks
// are always on; only a loopback test endpoint may name its own CA file.
// One thread uses it; abort() may come from any other.
class RTAPITransport {
public:
    using Cancelled = std::function<bool()>;

    // Throws std::runtime_error "RTAPITransport curl_easy_init() failed".
    RTAPITransport();
    ~RTAPITransport();
    RTAPITransport(const RTAPITransport&) = delete;
    RTAPITransport& operator=(const RTAPITransport&) = delete;

    // A fresh easy handle (the old one freed) and no reply text; clears an abort.
    void reinit();
    // POSTs the form (application/x-www-form-urlencoded) to the endpoint's base
    // + path. cancelled is asked while the transfer runs.
    RTAPITransfer post(const RTAPIEndpoint& endpoint, std::string_view path, const std::string& form,
                       const RTAPILimits& limits = {}, const Cancelled& cancelled = {});
    const std::string& response() const noexcept { return response_; }
    // Lets the reply's text and its room go once it has been read.
    void releaseReply() noexcept { std::string().swap(response_); }

    // Ends a running transfer at once (its connections shut down) and every
    // later one until reinit(). Any thread.
    void abort() noexcept;
    bool isAborted() const noexcept { return aborted_.load(); }

private:
    struct Handle;
    struct Callbacks; // libcurl's callbacks, with its own types
    friend struct Callbacks;

    std::unique_ptr<Handle> handle_;
    std::string response_;
    bool cutOff_ = false;
    const Cancelled* cancelled_ = nullptr;
    std::atomic<bool> aborted_{false};
    std::mutex socketsMutex_;
    std::set<std::intptr_t> sockets_; // libcurl's open connections, under socketsMutex_
};

} // namespace zelk

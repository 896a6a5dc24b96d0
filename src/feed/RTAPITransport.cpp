#include "feed/RTAPITransport.h"

#include <stdexcept>

#include <curl/curl.h>
#include <fmt/format.h>

#include "platform/Socket.h"

namespace zelk {

struct RTAPITransport::Handle {
    explicit Handle(CURL* easy) : easy(easy) {}
    ~Handle() { curl_easy_cleanup(easy); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    CURL* easy;
};

struct RTAPITransport::Callbacks {
    static std::size_t data(char* bytes, std::size_t size, std::size_t count, void* self)
    {
        auto& t = *static_cast<RTAPITransport*>(self);
        const std::size_t length = size * count;
        if (length > kMaxRTAPIReplyBytes - t.response_.size()) {
            t.cutOff_ = true;
            return 0;
        }
        t.response_.append(bytes, length);
        return length;
    }

    // libcurl asks at least once a second, also while nothing arrives.
    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto& t = *static_cast<RTAPITransport*>(self);
        return t.aborted_.load() || (t.cancelled_ && *t.cancelled_ && (*t.cancelled_)()) ? 1 : 0;
    }

    // Every connection libcurl opens is known, so abort() can shut it down.
    static int opened(void* self, curl_socket_t socket, curlsocktype)
    {
        auto& t = *static_cast<RTAPITransport*>(self);
        std::scoped_lock guard(t.socketsMutex_);
        t.sockets_.insert(static_cast<std::intptr_t>(socket));
        return t.aborted_.load() ? CURL_SOCKOPT_ERROR : CURL_SOCKOPT_OK;
    }

    static int closed(void* self, curl_socket_t socket)
    {
        auto& t = *static_cast<RTAPITransport*>(self);
        std::scoped_lock guard(t.socketsMutex_);
        t.sockets_.erase(static_cast<std::intptr_t>(socket));
        platform::gf_closeSocketHandle(static_cast<std::intptr_t>(socket));
        return 0;
    }
};

namespace {

void lf_initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

template <typename T>
void lf_set(CURL* easy, CURLoption option, T value)
{
    if (curl_easy_setopt(easy, option, value) != CURLE_OK)
        throw std::runtime_error(fmt::format("RTAPITransport: option {} refused", static_cast<int>(option)));
}

} // namespace

RTAPITransport::RTAPITransport() { reinit(); }

// The handle goes first: closing its connections calls back into this object.
RTAPITransport::~RTAPITransport() { handle_.reset(); }

void RTAPITransport::reinit()
{
    lf_initCurlOnce();
    handle_.reset();
    CURL* easy = curl_easy_init();
    if (easy == nullptr) throw std::runtime_error("RTAPITransport curl_easy_init() failed");
    handle_ = std::make_unique<Handle>(easy);
    releaseReply();
    cutOff_ = false;
    aborted_ = false;
}

void RTAPITransport::abort() noexcept
{
    aborted_ = true;
    std::scoped_lock guard(socketsMutex_);
    for (const std::intptr_t socket : sockets_) platform::gf_shutdownSocketHandle(socket);
}

RTAPITransfer RTAPITransport::post(const RTAPIEndpoint& endpoint, std::string_view path, const std::string& form,
                                   const RTAPILimits& limits, const Cancelled& cancelled)
{
    RTAPITransfer transfer;
    releaseReply();
    cutOff_ = false;
    if (aborted_) {
        transfer.aborted = true;
        transfer.error = "stopped";
        return transfer;
    }
    CURL* easy = handle_->easy;
    // Every option is set anew below. The reset also clears libcurl's count of
    // retries after a kept connection died, which otherwise adds up over the
    // handle's life: a server that closes idle connections (the web API paces
    // requests seconds apart) made every sixth such request fail.
    curl_easy_reset(easy);
    const std::string url = fmt::format("{}{}", endpoint.base, path);
    char errorText[CURL_ERROR_SIZE] = {};
    cancelled_ = &cancelled;
    lf_set(easy, CURLOPT_URL, url.c_str());
    lf_set(easy, CURLOPT_POSTFIELDS, form.c_str());
    lf_set(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(form.size()));
    lf_set(easy, CURLOPT_USERAGENT, "ZELK");
    lf_set(easy, CURLOPT_PROTOCOLS_STR, "https");
    lf_set(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    lf_set(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    lf_set(easy, CURLOPT_CAINFO, endpoint.caFile.empty() ? nullptr : endpoint.caFile.c_str());
    // Schannel cannot ask a test CA's revocation list; only the loopback test CA goes without.
    lf_set(easy, CURLOPT_SSL_OPTIONS, endpoint.loopbackOverride && !endpoint.caFile.empty()
                                          ? static_cast<long>(CURLSSLOPT_NO_REVOKE) : 0L);
    lf_set(easy, CURLOPT_FOLLOWLOCATION, 0L);
    lf_set(easy, CURLOPT_NOSIGNAL, 1L);
    lf_set(easy, CURLOPT_ACCEPT_ENCODING, "");
    lf_set(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count() * 1000));
    lf_set(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.transfer.count() * 1000));
    lf_set(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxRTAPIReplyBytes));
    lf_set(easy, CURLOPT_ERRORBUFFER, errorText);
    lf_set(easy, CURLOPT_WRITEFUNCTION, &Callbacks::data);
    lf_set(easy, CURLOPT_WRITEDATA, this);
    lf_set(easy, CURLOPT_XFERINFOFUNCTION, &Callbacks::progress);
    lf_set(easy, CURLOPT_XFERINFODATA, this);
    lf_set(easy, CURLOPT_NOPROGRESS, 0L);
    lf_set(easy, CURLOPT_SOCKOPTFUNCTION, &Callbacks::opened);
    lf_set(easy, CURLOPT_SOCKOPTDATA, this);
    lf_set(easy, CURLOPT_CLOSESOCKETFUNCTION, &Callbacks::closed);
    lf_set(easy, CURLOPT_CLOSESOCKETDATA, this);

    const CURLcode code = curl_easy_perform(easy);
    cancelled_ = nullptr;
    lf_set(easy, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    transfer.cutOff = cutOff_ || code == CURLE_FILESIZE_EXCEEDED;
    transfer.aborted = aborted_.load() || code == CURLE_ABORTED_BY_CALLBACK;
    if (code != CURLE_OK) {
        transfer.error = transfer.cutOff ? fmt::format("reply longer than {} bytes, cut off", kMaxRTAPIReplyBytes)
                         : transfer.aborted ? std::string("stopped")
                         : errorText[0] != '\0' ? fmt::format("{} ({})", curl_easy_strerror(code), errorText)
                                                : std::string(curl_easy_strerror(code));
        releaseReply();
        return transfer;
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &transfer.httpStatus);
    transfer.ok = true;
    return transfer;
}

} // namespace zelk

#include "feed/RTAPISession.h"

#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/FeedState.h"
#include "core/Log.h"
#include "core/StopRequest.h"
#include "core/UserRelatedException.h"
#include "core/Version.h"
#include "feed/BadInputLog.h"
#include "feed/Credential.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"

namespace zelk {
namespace {

constexpr std::chrono::seconds kRefusalWait{10};
constexpr std::chrono::milliseconds kWaitStep{100};

// Keeps a refusal on screen for a while, ending early when the run stops.
void lf_holdRefusal()
{
    const auto clock = gf_waitClock();
    const WaitClock::TimePoint end = clock->now() + kRefusalWait;
    while (gf_isRunning()) {
        const WaitClock::TimePoint now = clock->now();
        if (now >= end) break;
        clock->sleepUntil(std::min(end, now + kWaitStep));
    }
}

std::string_view lf_refusalText(int status)
{
    switch (status) {
    case kRTAPILicenceExpired: return "Your RT license is expired";
    case kRTAPILicenceUnknown: return "RT did not recognize your license";
    case kRTAPITooManySessions:
        return "More than one RealTraffic session is not possible, do not run the RealTraffic app";
    default: return {};
    }
}

void lf_loginFailed(const std::string& why)
{
    gf_writeLogNotice(fmt::format("RT API login failed: {}", why));
    gf_readerStoppedWithError("Authenticater", false, 0);
}

void lf_loggedIn(const RTAPILogin& login)
{
    gf_writeLogLine(fmt::format("RT API login: {} license, server '{}', expiry '{}'",
                                login.professional() ? "professional" : "standard", gf_quoteInput(login.server),
                                gf_quoteInput(login.expiry)));
    isProfessionalFeed = login.professional();
    feedConnected = true;
    gf_rtApiSession().store(login);
}

// The reply of a login that came back; false when the run must not go on.
bool lf_takeLoginReply(const RTAPITransfer& transfer, const std::string& body)
{
    int status = 0;
    RTAPILogin login;
    try {
        nlohmann::json reply;
        status = gf_rtApiReplyStatus(transfer.httpStatus, body, reply);
        if (status == kRTAPIOk) login = gf_parseRTAPILogin(reply);
    } catch (const std::exception& e) {
        lf_loginFailed(gf_errorText(e));
        return false;
    }
    if (status == kRTAPIOk) {
        lf_loggedIn(login);
        return true;
    }
    if (const std::string_view text = lf_refusalText(status); !text.empty()) {
        gf_guiShowMessage(std::string(text), true);
        lf_holdRefusal();
        throw UserRelatedException(status, text);
    }
    if (status == kRTAPIServerError) throw std::runtime_error("No RT database connection");
    lf_loginFailed(fmt::format("status {}", status));
    return false;
}

} // namespace

bool RTAPISession::isAuthenticated() const
{
    std::scoped_lock guard(mutex_);
    return login_ != nullptr;
}

void RTAPISession::clearAuthentication()
{
    std::scoped_lock guard(mutex_);
    login_.reset();
}

void RTAPISession::store(RTAPILogin login)
{
    auto stored = std::make_shared<const RTAPILogin>(std::move(login));
    std::scoped_lock guard(mutex_);
    login_ = std::move(stored);
}

std::shared_ptr<const RTAPILogin> RTAPISession::login() const
{
    std::scoped_lock guard(mutex_);
    return login_;
}

std::string RTAPISession::guid() const
{
    const auto held = login();
    return held ? held->guid : std::string();
}

RTAPISession& gf_rtApiSession()
{
    static RTAPISession session;
    return session;
}

RTAPITransport& gf_rtApiWorkerTransport()
{
    static RTAPITransport transport;
    return transport;
}

void gf_RTAPIAuthenticater()
{
    gf_guiShowMessage("Waiting for authentication at RT server ...", true);
    const auto credential = gf_rtCredential();
    if (!credential) {
        lf_loginFailed("no license or API token loaded");
        return;
    }
    const std::string form = gf_rtApiForm(
        {{"license", credential->value}, {"software", fmt::format("ZELK {}", programVersion.toString())}});
    auto& transport = gf_rtApiWorkerTransport();
    const RTAPITransfer transfer =
        transport.post(gf_rtApiEndpoint(), "/auth", form, {}, [] { return !gf_isRunning(); });
    if (transfer.aborted && !gf_isRunning()) return;
    if (!transfer.ok) {
        lf_loginFailed(transfer.error);
        return;
    }
    const bool loggedIn = lf_takeLoginReply(transfer, transport.response());
    transport.releaseReply();
    if (loggedIn) gf_guiClearMessage();
}

void gf_deauthenticateRTAPI()
{
    const std::string guid = gf_rtApiSession().guid();
    if (guid.empty()) {
        gf_writeLogLine("Deauthentication skipped: empty GUID");
        return;
    }
    gf_writeLogLine(fmt::format("GUID={}", gf_quoteInput(guid)));
    auto& transport = gf_rtApiWorkerTransport();
    const RTAPITransfer transfer =
        transport.post(gf_rtApiEndpoint(), "/deauth", gf_rtApiForm({{"GUID", guid}}), kRTAPILogoutLimits);
    if (!transfer.ok) {
        gf_writeLogLine(fmt::format("Deauthentication failed, status {}: {}", 0, transfer.error));
        return;
    }
    nlohmann::json reply;
    try {
        const int status = gf_rtApiReplyStatus(transfer.httpStatus, transport.response(), reply);
        if (status != kRTAPIOk)
            gf_writeLogLine(fmt::format("Deauthentication failed, status {}: {}", status,
                                        gf_quoteInput(transport.response())));
    } catch (const std::exception& e) {
        gf_writeLogLine(
            fmt::format("Deauthentication failed, status {}: {}", transfer.httpStatus, gf_errorText(e)));
    }
    transport.releaseReply();
}

} // namespace zelk

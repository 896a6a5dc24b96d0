#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "feed/RTAPIProtocol.h"
#include "feed/RTAPITransport.h"

namespace zelk {

// The web-API login of the run: the login result under the session mutex.
class RTAPISession {
public:
    bool isAuthenticated() const;
    void clearAuthentication();
    void store(RTAPILogin login);
    // The login; null when none is held.
    std::shared_ptr<const RTAPILogin> login() const;
    std::string guid() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const RTAPILogin> login_;
};

RTAPISession& gf_rtApiSession();
// The worker's own transport, for login and logout.
RTAPITransport& gf_rtApiWorkerTransport();

// Logs in at the web API on the calling thread ("Waiting for authentication
// at RT server ..." shown and logged). A login sets the feed-connected flag
// and isProfessionalFeed (type 2). A refusal with 402, 404 or 405 shows its
// text, waits 10 s while running and throws UserRelatedException with the
// status; 500 throws std::runtime_error "No RT database connection"; any other
// failure (a transport or TLS error included, logged with its text) ends
// through gf_readerStoppedWithError ("Authenticater", false, 0).
void gf_RTAPIAuthenticater();
// At close-down, when a login is held: logs out ("GUID={}") within 5 s.
void gf_deauthenticateRTAPI();

} // namespace zelk

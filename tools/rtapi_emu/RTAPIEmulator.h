#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace httplib {
class SSLServer;
}

namespace zelk::emu {

// One scripted answer of the web API's stand-in.
struct ApiAnswer {
    int httpStatus = 200;
    std::string body;                     // {t}, {t+N}, {t-N}: Unix time now (+- N s)
    std::chrono::milliseconds delay{0};   // before the answer
    bool stall = false;                   // no answer until released (or the end)
    bool again = false;                   // after this answer the path's play starts again
};
// Per path ("/auth", "/traffic", ...) the answers in the order they are
// played; the last one repeats. A path with a query type after '#'
// ("/traffic#parkedtraffic") answers only requests of that "querytype" and
// goes before the plain path.
using ApiScenario = std::map<std::string, std::vector<ApiAnswer>>;

// Scenario file: one answer per line,
// "<path> <status> [delay=<ms>] [stall] [again] <body>";
// '#' starts a comment. Throws std::runtime_error "scenario line {}: {}".
ApiScenario gf_parseApiScenario(std::string_view text);

// One request the stand-in got: its path (after the base) and decoded form.
struct ApiRequest {
    std::string path;
    std::map<std::string, std::string> form;
    std::chrono::steady_clock::time_point at;
};

// Writes key.pem and cert.pem (self-signed, subjectAltName IP 127.0.0.1 and
// the names 127.0.0.1 and localhost, since Schannel matches names only; a CA
// for the test) into folder with the openssl command; throws when it fails.
void gf_makeTestCertificate(const std::filesystem::path& folder);

// The RealTraffic web API's stand-in: an HTTPS server on 127.0.0.1 (an
// ephemeral port) that answers POSTs below "/v5" from its scenario and
// records every request. Several clients can share one: each puts its own
// prefix before "/v5" and gives its answers by POSTing a scenario to
// "<prefix>/control".
class RTAPIEmulator {
public:
    // Makes its certificate in folder and starts listening. With a record file
    // every request is appended to it as one JSON line {"path":…,"form":{…}}.
    RTAPIEmulator(const std::filesystem::path& folder, ApiScenario scenario = {},
                  std::filesystem::path recordFile = {});
    ~RTAPIEmulator(); // releases stalled answers and stops
    RTAPIEmulator(const RTAPIEmulator&) = delete;
    RTAPIEmulator& operator=(const RTAPIEmulator&) = delete;

    std::string base() const; // "https://127.0.0.1:<port>/v5"
    std::uint16_t port() const noexcept { return port_; }
    std::filesystem::path caFile() const { return folder_ / "cert.pem"; }

    // Replaces the answers of a path (their play starts again).
    void script(const std::string& path, std::vector<ApiAnswer> answers);
    std::vector<ApiRequest> requests(const std::string& path = {}) const;
    // Waits until count requests of path came; false after limit.
    bool waitForRequests(const std::string& path, std::size_t count,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    void releaseStalls();

private:
    ApiAnswer next(const ApiRequest& request);

    std::filesystem::path folder_;
    std::filesystem::path recordFile_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    ApiScenario scenario_;
    std::map<std::string, std::size_t> played_;
    std::vector<ApiRequest> requests_;
    bool released_ = false;
};

} // namespace zelk::emu

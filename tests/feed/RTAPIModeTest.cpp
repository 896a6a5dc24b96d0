// The RT Direct mode of a run (lf_runRTAPIMode) against the web API's
// stand-in, zelk_rtapi_emu, started as a process of its own on a free
// loopback port with its own test CA: the login, the first traffic, the
// parked request, every status the service answers with, a stop that cuts a
// stalled reply, and the logout. The Windows build under wine cannot start the
// stand-in (it is built natively only: cpp-httplib's TLS server needs OpenSSL)
// and takes the one scripts/build-windows.sh starts natively for the whole
// run, named in ZELK_TEST_RTAPI_SERVICE (with ZELK_TEST_RTAPI_CA and
// ZELK_TEST_RTAPI_RECORD); each test plays its answers under a prefix of its own.
#if defined(ZELK_HAVE_RTAPI_EMU) || defined(_WIN32)

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/FeedModes.h"
#include "core/FeedState.h"
#include "core/Parameters.h"
#include "core/StopRequest.h"
#include "core/UserRelatedException.h"
#include "feed/Credential.h"
#include "feed/FeedModeTestSupport.h"
#include "feed/RTAPIProtocol.h"
#include "feed/RTAPIReaders.h"
#include "feed/RTAPITransport.h"
#include "feed/RTAPISession.h"
#include "feed/RTAppTestSupport.h"
#include "gui/Gui.h"
#include "platform/MemoryRelease.h"
#include "simlink/UserAircraftState.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"
#include "support/LoggedTempDir.h"
#include "support/ScopedEnv.h"
#include "traffic/TrafficState.h"

namespace zelk::test {
namespace {

// The shared stand-in is told this test's answers as plain text: as a form
// (the transport's way), cpp-httplib refuses a body over 8 KiB with 413, and
// the hostile cases' answers are megabytes. Returns the HTTP status, or
// libcurl's error.
std::string lf_postScenario(const std::string& url, const std::string& ca, const std::string& scenario)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
        curl_slist_append(nullptr, "Content-Type: text/plain"), &curl_slist_free_all);
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, scenario.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(scenario.size()));
    curl_easy_setopt(easy.get(), CURLOPT_CAINFO, ca.c_str());
    // Schannel cannot ask the test CA for its revocation list.
    curl_easy_setopt(easy.get(), CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t count, void*) { return size * count; });
    curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT, 60L);
    if (const CURLcode code = curl_easy_perform(easy.get()); code != CURLE_OK) return curl_easy_strerror(code);
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    return std::to_string(status);
}

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One request the stand-in recorded.
struct Recorded {
    std::string path;
    std::map<std::string, std::string> form;
};

class RTAPIMode : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        processConfigHome(); // the parameters a run saves go to the test's own per-user folder
        LoggedTempDirTest::SetUp();
#if !defined(ZELK_HAVE_RTAPI_EMU)
        if (!environmentValue("ZELK_TEST_RTAPI_SERVICE"))
            GTEST_SKIP() << "no web-API stand-in: it is built natively only, and scripts/build-windows.sh names the "
                            "one it started in ZELK_TEST_RTAPI_SERVICE";
#endif
        prepareRTAppRun();
        gf_resetStopRequest();
        gf_gui().resetPanelState();
        gf_resetRTAPIReaderState();
        gf_rtApiSession().clearAuthentication();
        feedConnected = false;
        isProfessionalFeed = false;
        LAST_EPOCH_TIME.setValue(0);
        lf_clearRTAPICooldown();
        KEEP_SIM_TIME_PAR.setValue(true);
        gf_setRTCredential(RTCredential{"AB12-CD34-EF56", false, {}});
        gf_setParkAirport({AirportRecord{IcaoCode("EHAM"), IataCode("AMS"), 52.3, 4.76, -11}, ""});
        UserAcPosition user;
        user.latitude = 52.3;
        user.longitude = 4.76;
        user.altitude = 10.0;
        gf_storeUserAcPosition(user);
        gf_setUserAircraftPosition(user);
    }
    void TearDown() override
    {
        gf_rtApiTrafficReader().stop();
        gf_rtApiWeatherReader().stop();
        gf_rtApiTrafficReader().resetConnection();
        gf_rtApiWeatherReader().resetConnection();
        service.kill();
        gf_clearRTCredential();
        gf_setWaitClock(nullptr);
        gf_clearParkAirport();
        gf_resetTrafficMailbox();
        gf_resetTrafficState();
        gf_resetRTAPIReaderState();
        gf_resetStopRequest();
        LoggedTempDirTest::TearDown();
    }

    // The stand-in with the answers of tests/data/feed/schiphol-webapi.scenario,
    // each path given in `answers` played with those answers instead.
    void startService(const std::map<std::string, std::vector<std::string>>& answers = {})
    {
        std::string scenario;
        const std::string base = readAll(feedTestData("schiphol-webapi.scenario"));
        ASSERT_FALSE(base.empty());
        for (std::size_t at = 0; at < base.size();) {
            const auto end = base.find('\n', at);
            const std::string line = base.substr(at, end - at);
            at = end == std::string::npos ? base.size() : end + 1;
            const std::string path = line.substr(0, line.find(' '));
            if (!answers.contains(path)) scenario += line + "\n";
        }
        for (const auto& [path, list] : answers)
            for (const auto& answer : list) scenario += path + " " + answer + "\n";
        if (const auto shared = environmentValue("ZELK_TEST_RTAPI_SERVICE")) {
            useSharedService(*shared, scenario);
            return;
        }
#if defined(ZELK_HAVE_RTAPI_EMU)
        writeAll(file("service.scenario"), scenario);
        recordFile = file("requests.jsonl");
        service = ChildProcess(ZELK_RTAPI_EMU_PATH,
                               {"--scenario", file("service.scenario").string(), "--folder", file("service").string(),
                                "--record", recordFile.string(), "--duration", std::to_string(kTestLimit.count())},
                               file("service-out.txt"));
        ASSERT_TRUE(waitForFileText(file("service-out.txt"), "\nca ", kEventWait)) << readAll(file("service-out.txt"));
        const std::string out = readAll(file("service-out.txt"));
        const auto port = out.substr(5, out.find('\n') - 5);
        const auto ca = out.substr(out.find("\nca ") + 4);
        endpoint.emplace(kRTAPIBaseVariable, "https://127.0.0.1:" + port + "/v5");
        caFile.emplace(kRTAPICaVariable, ca.substr(0, ca.find('\n')));
#endif
    }
    // The run's shared stand-in: this test's answers under a prefix of its own.
    void useSharedService(const std::string& service, const std::string& scenario)
    {
        prefix = "/" + dir().filename().string();
        const std::string ca = environmentValue("ZELK_TEST_RTAPI_CA").value_or("");
        recordFile = environmentValue("ZELK_TEST_RTAPI_RECORD").value_or("");
        // Set first: should the scenario not arrive, the run that follows
        // still asks the stand-in (and fails there), never the real service.
        endpoint.emplace(kRTAPIBaseVariable, service + prefix + "/v5");
        caFile.emplace(kRTAPICaVariable, ca);
        ASSERT_EQ(lf_postScenario(service + prefix + "/control", ca, scenario), "200");
    }
    std::vector<Recorded> requests(const std::string& path) const
    {
        std::vector<Recorded> found;
        const std::string all = readAll(recordFile);
        for (std::size_t at = 0; at < all.size();) {
            const auto end = all.find('\n', at);
            const auto json = nlohmann::json::parse(all.substr(at, end - at), nullptr, false);
            at = end == std::string::npos ? all.size() : end + 1;
            if (json.is_discarded() || json.value("path", "") != prefix + path) continue;
            found.push_back({path, json.at("form").get<std::map<std::string, std::string>>()});
        }
        return found;
    }
    bool logged(const std::string& text) const
    {
        gf_gui().drainUpdateQueue();
        return log().find(text) != std::string::npos;
    }
    std::size_t parkedListSize() const
    {
        auto& state = gf_rtApiReaderState();
        std::scoped_lock guard(state.parkedMutex);
        return state.parked.size();
    }

    MailboxRecorder mailbox;
    ChildProcess service;
    std::string prefix;                 // of this test's answers in a shared stand-in
    std::filesystem::path recordFile;   // the stand-in's record of every request
    std::optional<ScopedEnv> endpoint;
    std::optional<ScopedEnv> caFile;
};

// --- The login ---

TEST_F(RTAPIMode, ProfessionalLoginFirstTrafficWithinOnePaceAndLogout)
{
    startService();
    const auto started = Clock::now();
    ASSERT_TRUE(lf_runRTAPIMode());
    // Login, the 300-ms settling and one traffic reply; the pace is 2 s.
    EXPECT_LT(Clock::now() - started, 2s + 300ms + 1s);
    EXPECT_TRUE(gf_rtApiReaderState().firstTraffic.load());
    EXPECT_TRUE(feedConnected.load());
    EXPECT_TRUE(isProfessionalFeed.load());
    EXPECT_TRUE(KEEP_SIM_TIME_PAR.value()) << "professional access keeps following the simulator's time";
    EXPECT_FALSE(gf_currentStopRequest());
    EXPECT_TRUE(logged("Waiting for authentication at RT server ..."));
    EXPECT_TRUE(logged("RT API login: professional license, server 'rtwa-3', expiry '2031-01-31'"));
    EXPECT_TRUE(logged("Traffic RTAPIreader connected"));

    const auto auth = requests("/auth");
    ASSERT_EQ(auth.size(), 1u);
    EXPECT_EQ(auth[0].form.at("license"), "AB12-CD34-EF56");
    const auto traffic = requests("/traffic");
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(traffic[0].form.at("GUID"), "7c0ffee0-0000-4000-8000-00000000feed");
    EXPECT_EQ(traffic[0].form.at("querytype"), "locationtraffic");
    // All three aircraft of the reply were handed over; live batches wait for the main loop.
    EXPECT_TRUE(eventually([&] {
        const auto entries = mailbox.entries();
        return std::any_of(entries.begin(), entries.end(),
                           [](const MailboxEntry& e) { return e.kind == BatchKind::Live && e.records == 3; });
    }));
    EXPECT_TRUE(eventually([] { return gf_rtApiReaderState().lastWeather.load() != 0; }));
    {
        std::scoped_lock guard(gf_rtApiReaderState().mutex);
        EXPECT_EQ(gf_rtApiReaderState().qnh, 1021) << "the nearest METAR's pressure group";
    }

    gf_rtApiTrafficReader().stop();
    gf_rtApiWeatherReader().stop();
    gf_deauthenticateRTAPI();
    const auto deauth = requests("/deauth");
    ASSERT_EQ(deauth.size(), 1u);
    EXPECT_EQ(deauth[0].form.at("GUID"), "7c0ffee0-0000-4000-8000-00000000feed");
    EXPECT_FALSE(logged("Deauthentication failed"));
}

TEST_F(RTAPIMode, StandardLoginSwitchesTheSimulatorTimeOff)
{
    startService({{"/auth", {R"(200 {"status":200,"GUID":"g-1","type":1})"}}});
    ASSERT_TRUE(lf_runRTAPIMode());
    EXPECT_FALSE(isProfessionalFeed.load());
    EXPECT_FALSE(KEEP_SIM_TIME_PAR.value());
    EXPECT_TRUE(logged("RT API login: standard license"));
    EXPECT_EQ(requests("/traffic").at(0).form.at("GUID"), "g-1");
}

struct LoginCase {
    const char* name;
    std::string answer;
    std::optional<int> userError; // the exception's code
    const char* logged;
};

void PrintTo(const LoginCase& c, std::ostream* os) { *os << c.name; }

class RTAPILoginRefusals : public RTAPIMode, public ::testing::WithParamInterface<LoginCase> {};

// A refusal the user must fix is shown for 10 s and ends the run with a user
// error; the database's failure fails the run; anything else stops it.
const LoginCase kLoginCases[] = {
    {"Expired", R"(200 {"status":402})", 402, "Your RT license is expired"},
    {"Unknown", R"(200 {"status":404})", 404, "RT did not recognize your license"},
    {"SecondSession", R"(200 {"status":405})", 405,
     "More than one RealTraffic session is not possible, do not run the RealTraffic app"},
    {"NoDatabase", R"(200 {"status":500})", std::nullopt, "No RT database connection"},
    {"ParameterFault", R"(200 {"status":400})", std::nullopt, "RT API login failed: status 400"},
    {"HttpError", R"(503 <html>busy</html>)", std::nullopt, "RT API login failed: status 503"},
    {"NoGuid", R"(200 {"status":200,"type":2})", std::nullopt, "RT API login failed: login reply without a GUID"},
};

TEST_P(RTAPILoginRefusals, EndTheRun)
{
    const LoginCase& c = GetParam();
    startService({{"/auth", {c.answer}}});
    gf_setWaitClock(std::make_shared<ScaledWaitClock>(20));
    std::optional<int> code;
    std::string failure;
    try {
        lf_runRTAPIMode();
    } catch (const UserRelatedException& e) {
        code = e.code();
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    EXPECT_EQ(code, c.userError);
    if (c.userError) {
        EXPECT_TRUE(logged(c.logged)) << log();
    } else if (std::string(c.name) == "NoDatabase") {
        EXPECT_EQ(failure, c.logged);
    } else {
        EXPECT_TRUE(logged(c.logged)) << log();
        ASSERT_TRUE(gf_currentStopRequest());
        EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::SystemError);
    }
    EXPECT_FALSE(gf_rtApiSession().isAuthenticated());
    EXPECT_TRUE(requests("/traffic").empty()) << "no traffic request without a login";
}

INSTANTIATE_TEST_SUITE_P(, RTAPILoginRefusals, ::testing::ValuesIn(kLoginCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- What the readers do with each status ---

struct ReaderStatusCase {
    const char* name;
    int status;
    const char* logged;
    std::optional<StopReason> stop; // none: the run goes on and takes the next reply
};

void PrintTo(const ReaderStatusCase& c, std::ostream* os) { *os << c.name; }

class RTAPIReaderStatuses : public RTAPIMode, public ::testing::WithParamInterface<ReaderStatusCase> {};

const ReaderStatusCase kReaderCases[] = {
    {"ParameterFault", 400, "Traffic RTAPIreader RT API: parameter fault", std::nullopt},
    {"LoginExpired", 401, "re-authentication to RT API is needed, restart Traffic RTAPIreader", StopReason::ReaderError},
    {"LicenceExpired", 402, "Traffic RTAPIreader RT API: license expired", StopReason::SystemError},
    {"NoDataForLicence", 403, "Traffic RTAPIreader RT API: No data for this license type", std::nullopt},
    {"LicenceUnknown", 404, "Traffic RTAPIreader RT API error: status 404", std::nullopt},
    {"SecondSession", 405, "Traffic RTAPIreader RT API error: status 405", std::nullopt},
    {"RateViolated", 406, "Traffic RTAPIreader RT API error: request rate violated, waiting 4000 ms", std::nullopt},
    {"HistoryTooOld", 407, "Traffic RTAPIreader RT API error: status 407", std::nullopt},
    {"ServerError", 500, "Traffic RTAPIreader RT API error: status 500", std::nullopt},
};

TEST_P(RTAPIReaderStatuses, GiveTheirLineAndStopOrGoOn)
{
    const ReaderStatusCase& c = GetParam();
    const std::string traffic = readAll(feedTestData("schiphol-webapi.scenario"));
    const auto at = traffic.find("/traffic 200 ");
    const std::string good = traffic.substr(at + 9, traffic.find('\n', at) - at - 9);
    startService({{"/traffic", {fmt::format(R"(200 {{"status":{}}})", c.status), good}}});
    ASSERT_TRUE(lf_runRTAPIMode());
    EXPECT_TRUE(logged(c.logged)) << log();
    if (c.stop) {
        ASSERT_TRUE(gf_currentStopRequest());
        EXPECT_EQ(gf_currentStopRequest()->stopReason(), *c.stop);
        EXPECT_EQ(gf_currentStopRequest()->delay, 15u);
        EXPECT_TRUE(eventually([] { return gf_rtApiTrafficReader().state() == RTAPIReader::State::Stopped; }));
        EXPECT_EQ(requests("/traffic").size(), 1u) << "the reader ended";
    } else {
        EXPECT_FALSE(gf_currentStopRequest()) << gf_stopReasonText(gf_currentStopRequest()->reason);
        EXPECT_TRUE(gf_rtApiReaderState().firstTraffic.load()) << "the next reply was taken";
        EXPECT_FALSE(logged("RTAPI TrafficReader receiving timed out"));
    }
}

INSTANTIATE_TEST_SUITE_P(, RTAPIReaderStatuses, ::testing::ValuesIn(kReaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The parked request ---

struct ParkedCase {
    const char* name;
    std::string answer;
    bool filled;
    const char* logged;
};

void PrintTo(const ParkedCase& c, std::ostream* os) { *os << c.name; }

class RTAPIParkedRequests : public RTAPIMode, public ::testing::WithParamInterface<ParkedCase> {};

const ParkedCase kParkedCases[] = {
    {"Filled", "", true, "2 RT parked traffic received"},
    {"ParameterFault", R"(200 {"status":400})", false, "RT API parameter fault"},
    {"LoginExpired", R"(200 {"status":401})", false, "RT Parked: re-authentication to RT API is needed 401"},
    {"NoDataForLicence", R"(200 {"status":403})", false, "No data for this license type"},
    {"ServerError", R"(200 {"status":500})", false, "RT Parked error status: 500"},
    {"TimedOut", R"(200 stall {"status":200,"data":{}})", false, "ParkedTraffic receiving timed out after 10 seconds"},
};

TEST_P(RTAPIParkedRequests, FillTheListOrSayWhyNot)
{
    const ParkedCase& c = GetParam();
    std::map<std::string, std::vector<std::string>> answers;
    if (!c.answer.empty()) answers["/traffic#parkedtraffic"] = {c.answer};
    startService(answers);
    ASSERT_TRUE(lf_runRTAPIMode());
    // 10 s pass in 3.3 s: more than the 2 s the reader keeps between two requests.
    gf_setWaitClock(std::make_shared<ScaledWaitClock>(3));
    EXPECT_EQ(gf_requestRTAPIParkedTraffic(), c.filled);
    EXPECT_TRUE(logged(c.logged)) << log();
    EXPECT_EQ(parkedListSize(), c.filled ? 2u : 0u);
    const auto parked = requests("/traffic");
    EXPECT_TRUE(std::any_of(parked.begin(), parked.end(), [](const Recorded& r) {
        return r.form.at("querytype") == "parkedtraffic";
    }));
    EXPECT_FALSE(gf_currentStopRequest()) << "a failed parked request does not end the run";
}

INSTANTIATE_TEST_SUITE_P(, RTAPIParkedRequests, ::testing::ValuesIn(kParkedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Hostile replies ---

// The peak resident memory of this process in MB since the last call;
// nothing where /proc does not tell it (under wine).
std::optional<double> peakResidentMb()
{
    const std::string status = readAll("/proc/self/status");
    const auto at = status.find("VmHWM:");
    if (at == std::string::npos) return std::nullopt;
    const double kb = std::stod(status.substr(at + 6));
    std::ofstream("/proc/self/clear_refs") << "5";
    return kb / 1024.0;
}

// The resident memory of this process in MB now.
std::optional<double> residentMb()
{
    const std::string status = readAll("/proc/self/status");
    const auto at = status.find("VmRSS:");
    if (at == std::string::npos) return std::nullopt;
    return std::stod(status.substr(at + 6)) / 1024.0;
}

std::string nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }

// A reply of 31 MB: the aircraft of the scenario's reply beside junk members.
std::string besideJunk(const std::string& good, std::string_view junk)
{
    std::string reply = good.substr(0, good.find('{') + 1) + R"("junk":[)";
    while (reply.size() < (31u << 20)) reply += junk;
    reply += "0],";
    return reply + good.substr(good.find('{') + 1);
}

// Members "junk0".."junk7" of 20,000 arrays of 64 empty texts each beside the
// good reply's members: 31 MB within every count of members per container.
std::string emptyTextsBeside(const std::string& good)
{
    std::string texts = "[";
    for (int i = 0; i < 64; ++i) texts += i == 0 ? R"("")" : R"(,"")";
    texts += "]";
    std::string reply = good.substr(0, good.find('{') + 1);
    for (int member = 0; member < 8; ++member) {
        reply += fmt::format(R"("junk{}":[)", member);
        for (int i = 0; i < 20000; ++i) reply += (i == 0 ? "" : ",") + texts;
        reply += "],";
    }
    return reply + good.substr(good.find('{') + 1);
}

// The weather reply with its stations replaced (the last "data" wins) by one
// whose METAR is 30 MB of "A " groups before its pressure.
std::string metarOfManyGroups(const std::string& good)
{
    std::string groups;
    while (groups.size() < (30u << 20)) groups += "A ";
    return good.substr(0, good.rfind('}')) + R"(,"data":[{"ICAO":"EHAM","METAR":"EHAM 081120Z )" + groups +
           R"(Q1003"}]})";
}

// The good reply with members put before its own.
std::string withMembersBefore(const std::string& good, const std::string& members)
{
    const auto open = good.find('{') + 1;
    return good.substr(0, open) + members + "," + good.substr(open);
}

// Members "junk0".. of what member(i) gives, joined.
std::string junkMembers(int count, const std::function<std::string()>& member)
{
    std::string members;
    for (int i = 0; i < count; ++i) members += fmt::format(R"({}"junk{}":)", i == 0 ? "" : ",", i) + member();
    return members;
}

// An object of 20,000 members with names of 92 digits: 8 of them are 160,000
// members, within the count of values, costing some 35 MB built.
std::string longNames()
{
    std::string object = "{";
    for (int i = 0; i < 20000; ++i) object += fmt::format(R"({}"{:092d}":0)", i == 0 ? "" : ",", i);
    return object + "}";
}

// A data of 6,000 arrays of 64 empty texts (more than the budget of bytes
// admits) before the reply's status.
std::string largeDataBeforeStatus(const std::string& good, int status)
{
    std::string texts = "[";
    for (int i = 0; i < 64; ++i) texts += i == 0 ? R"("")" : R"(,"")";
    texts += "]";
    std::string reply = good.substr(0, good.find('{')) + R"({"data":{)";
    for (int i = 0; i < 6000; ++i) reply += fmt::format(R"({}"{:06x}":)", i == 0 ? "" : ",", i) + texts;
    return reply + fmt::format(R"(}},"status":{}}})", status);
}

struct HostileReplyCase {
    const char* name;
    std::vector<std::string> paths; // each answered so, then with the scenario's answer
    std::function<std::string(const std::string& good)> answer; // given the scenario's answer of the path
    const char* logged;
};

void PrintTo(const HostileReplyCase& c, std::ostream* os) { *os << c.name; }

class RTAPIHostileReplies : public RTAPIMode, public ::testing::WithParamInterface<HostileReplyCase> {};

const HostileReplyCase kHostileCases[] = {
    {"NestedMetarStation", {"/nearestmetar"},
     [](const std::string&) { return R"(200 {"status":200,"data":[{"ICAO":)" + nested(1'000'000) + "}]}"; },
     "Weather RTAPIreader RT API error: JSON nested deeper than 6 levels"},
    {"NestedTrafficItem", {"/traffic"},
     [](const std::string&) { return R"(200 {"status":200,"data":{"484506":["484506",)" + nested(1'000'000) + "]}}"; },
     "Traffic RTAPIreader RT API error: JSON nested deeper than 6 levels"},
    {"EmptyArraysBesideTheData", {"/traffic"}, [](const std::string& good) { return besideJunk(good, "[],"); },
     "Traffic RTAPIreader RT API error: JSON of more than 4096 bytes without a number or a text"},
    {"ObjectsBesideTheData", {"/traffic"}, [](const std::string& good) { return besideJunk(good, R"({"a":0},)"); },
     "members of a reply over its limits left out"},
    {"EmptyTextsBesideTheData", {"/traffic"}, emptyTextsBeside,
     "members of a reply over its limits left out"},
    {"EmptyTextsBesideTheDataAndTheStations", {"/traffic", "/nearestmetar"}, emptyTextsBeside,
     "members of a reply over its limits left out"},
    {"MetarOfManyGroups", {"/nearestmetar"}, metarOfManyGroups,
     "Weather RTAPIreader RT API error: JSON text of more than 1048576 bytes"},
    {"LongNumberBesideTheDataAndTheStations", {"/traffic", "/nearestmetar"},
     [](const std::string& good) { return withMembersBefore(good, R"("junk":)" + std::string(31u << 20, '1')); },
     "RT API error: JSON number of more than 64 characters"},
    {"LongFractionBesideTheDataAndTheStations", {"/traffic", "/nearestmetar"},
     [](const std::string& good) { return withMembersBefore(good, R"("junk":0.)" + std::string(31u << 20, '1')); },
     "RT API error: JSON number of more than 64 characters"},
    {"TextsOfAMegabyteBesideTheDataAndTheStations", {"/traffic", "/nearestmetar"},
     [](const std::string& good) {
         return withMembersBefore(good, junkMembers(30, [] { return '"' + std::string(1'000'000, 'x') + '"'; }));
     },
     "members of a reply over its limits left out"},
    {"LongNamesBesideTheDataAndTheStations", {"/traffic", "/nearestmetar"},
     [](const std::string& good) { return withMembersBefore(good, junkMembers(8, longNames)); },
     "members of a reply over its limits left out"},
    {"StatusAfterALargeData", {"/traffic"},
     [](const std::string& good) { return largeDataBeforeStatus(good, kRTAPIParameterFault); },
     "Traffic RTAPIreader RT API: parameter fault"},
    {"StationOfAMegabyte", {"/nearestmetar"},
     [](const std::string& good) {
         std::string reply = good;
         return reply.replace(reply.find(R"("EHAM")"), 6, '"' + std::string(1'000'000, 'E') + '"');
     },
     "METAR entry dropped: ICAO of 1000000 bytes instead of a station code"},
    {"NestedLoginExpiry", {"/auth"},
     [](const std::string&) { return R"(200 {"status":200,"GUID":"g-1","expiry":)" + nested(1'000'000) + "}"; },
     "RT API login failed: JSON nested deeper than 6 levels"},
    {"GuidThatForgesALogLine", {"/auth"},
     [](const std::string&) { return R"(200 {"status":200,"GUID":"g\u001b[2J\u0007\r\n12:00:00 forged"})"; },
     "RT API login failed: login reply with an unusable GUID: g\\x1b[2J\\x07\\x0d\\x0a12:00:00 forged"},
    {"GuidOfEightMegabytes", {"/auth"},
     [](const std::string&) { return R"(200 {"status":200,"GUID":")" + std::string(8u << 20, 'g') + "\"}"; },
     "RT API login failed: JSON text of more than 1048576 bytes"},
};

// Each reply is refused with one quoted line, or its junk left out: the run
// does not crash, stays within its memory and gives it back, writes no control
// byte to the log, and takes the next good reply (the first, when the junk
// stood beside it).
TEST_P(RTAPIHostileReplies, AreRefusedOrTrimmedAndTheRunGoesOn)
{
    const HostileReplyCase& c = GetParam();
    const std::string base = readAll(feedTestData("schiphol-webapi.scenario"));
    std::map<std::string, std::vector<std::string>> answers;
    for (const std::string& path : c.paths) {
        const auto at = base.find(path + " 200 ");
        const std::string good = base.substr(at + path.size() + 1, base.find('\n', at) - at - path.size() - 1);
        answers[path] = {c.answer(good), good};
    }
    startService(answers);
    answers.clear();
    gf_rtApiWeatherReader().setClock(std::make_shared<ScaledWaitClock>(20));
    // The answers built here are the stand-in's, not the program's.
    platform::releaseFreeMemory();
    peakResidentMb();
    [[maybe_unused]] const auto residentBefore = residentMb();
    const std::size_t logBefore = log().size();
    lf_runRTAPIMode();
    for (const std::string& path : c.paths) {
        if (path == "/auth") {
            ASSERT_TRUE(gf_currentStopRequest());
            EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::SystemError);
        } else if (path == "/traffic") {
            EXPECT_TRUE(eventually([&] {
                const auto entries = mailbox.entries();
                return std::any_of(entries.begin(), entries.end(),
                                   [](const MailboxEntry& e) { return e.kind == BatchKind::Live && e.records == 3; });
            }));
        } else {
            EXPECT_TRUE(eventually([] {
                std::scoped_lock guard(gf_rtApiReaderState().mutex);
                return gf_rtApiReaderState().qnh == 1021;
            }));
        }
    }
    gf_rtApiTrafficReader().stop();
    gf_rtApiWeatherReader().stop();
    gf_rtApiWeatherReader().setClock(nullptr);
    [[maybe_unused]] const auto residentAfter = residentMb();
    const std::string text = log();
    EXPECT_NE(text.find(c.logged), std::string::npos) << text.substr(0, 4000);
    EXPECT_LT(text.size() - logBefore, 16u << 10) << "log growth";
    EXPECT_TRUE(std::none_of(text.begin() + static_cast<std::ptrdiff_t>(logBefore), text.end(), [](char ch) {
        const auto byte = static_cast<unsigned char>(ch);
        return (byte < 0x20 && ch != '\n' && ch != '\r') || byte == 0x7f;
    }));
    EXPECT_EQ(text.find("\r\n12:00:00 forged"), std::string::npos);
#if !defined(__SANITIZE_ADDRESS__)
    if (const auto peak = peakResidentMb()) {
        EXPECT_LT(*peak, 150.0) << "MB";
    }
    // What the replies took was given back, not kept for the rest of the run.
    if (residentBefore && residentAfter) {
        EXPECT_LT(*residentAfter - *residentBefore, 16.0) << "MB";
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(, RTAPIHostileReplies, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Mid-run ---

TEST_F(RTAPIMode, ALoginThatExpiresMidRunAsksForARestart)
{
    const std::string traffic = readAll(feedTestData("schiphol-webapi.scenario"));
    const auto at = traffic.find("/traffic 200 ");
    const std::string good = traffic.substr(at + 9, traffic.find('\n', at) - at - 9);
    startService({{"/traffic", {good, R"(200 {"status":401})"}}});
    ASSERT_TRUE(lf_runRTAPIMode());
    EXPECT_FALSE(gf_currentStopRequest());
    ASSERT_TRUE(eventually([] { return gf_currentStopRequest() != nullptr; }));
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::ReaderError);
    EXPECT_EQ(gf_currentStopRequest()->delay, 15u);
    EXPECT_TRUE(logged("re-authentication to RT API is needed, restart Traffic RTAPIreader"));
}

// The stalled reply would hold the reader for its whole 20-s transfer limit;
// the stop cuts it at once. The bound leaves room for a loaded machine (or
// wine) to schedule the joins, and still lies far below that limit.
TEST_F(RTAPIMode, AStopCutsAStalledReplyAtOnce)
{
    const std::string traffic = readAll(feedTestData("schiphol-webapi.scenario"));
    const auto at = traffic.find("/traffic 200 ");
    const std::string good = traffic.substr(at + 9, traffic.find('\n', at) - at - 9);
    startService({{"/traffic", {good, R"(200 stall {"status":200,"data":{}})"}}});
    ASSERT_TRUE(lf_runRTAPIMode());
    ASSERT_TRUE(eventually([&] { return requests("/traffic").size() >= 2; }));
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(gf_rtApiTrafficReader().state(), RTAPIReader::State::Requesting);
    const auto stopAt = Clock::now();
    gf_requestStop(StopReason::UserClosedSim, 0);
    gf_rtApiTrafficReader().requestStop();
    gf_rtApiWeatherReader().requestStop();
    gf_rtApiTrafficReader().join();
    gf_rtApiWeatherReader().join();
    EXPECT_LT(Clock::now() - stopAt, 3s);
}

} // namespace
} // namespace zelk::test

#endif

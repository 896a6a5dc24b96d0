#include "feed/RTAppHandshake.h"

#include <chrono>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/StopRequest.h"
#include "core/FeedState.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "feed/BadInputLog.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppServer.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"

namespace zelk {

std::atomic<bool> rtAppWaiting{false};

namespace {

// Connections that close right after answering before we give up for this run.
constexpr int kStaleConnectionLimit = 3;
constexpr std::chrono::seconds kSettleTime{2};

// Waits in short steps while running, then drops what else the app sent.
void lf_settleAndDrain(RTAppServer& server)
{
    const WaitPurposeScope settle(WaitPurpose::Settle);
    const auto deadline = gf_steadyNow() + kSettleTime;
    while (gf_isRunning() && gf_steadyNow() < deadline)
        gf_sleepFor(std::chrono::milliseconds(100));
    server.drainReceiveBuffer();
}

// The version reply of a connected app; empty when the app did not answer.
// nullopt when the connection turned out stale and no new one came.
std::optional<std::string> lf_askVersion(RTAppServer& server)
{
    for (int attempt = 0; attempt < kStaleConnectionLimit; ++attempt) {
        server.sendDataPacket(std::string(kRTAppVersionRequest));
        std::string reply = server.receiveLine();
        lf_settleAndDrain(server);
        if (server.isConnected()) return reply;
        gf_writeLogLine("RT App connection was stale, waiting for a new one ...");
        server.close();
        server.open(PORT_NUMBER.value());
        if (!server.acceptClient()) return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

void lf_waitForRTApp()
{
    gf_guiShowMessage("Waiting for the RealTraffic App to run ... (did you start it?)", true);
    rtAppWaiting = true;
    gf_resetRTAppReaderState();
    auto& server = gf_rtAppServer();
    if (server.acceptClient()) {
        if (const auto reply = lf_askVersion(server)) {
            lf_processRTVersion(*reply);
            feedConnected = true;
            gf_writeLogLine("RealTraffic connected");
            rtAppWaiting = false;
        }
    }
    gf_guiClearMessage();
}

void lf_processRTVersion(const std::string& reply)
{
    if (reply.empty()) {
        gf_guiShowMessage("No RealTraffic version received?", true);
        isProfessionalFeed = false;
        return;
    }
    std::optional<RTAppVersion> version;
    try {
        version = gf_parseRTAppVersion(reply);
    } catch (const std::exception& e) {
        gf_writeLogLine(fmt::format("{}: JSON parse failed: {}", "lf_processRTVersion", gf_quoteInput(e.what())));
    }
    isProfessionalFeed = version && version->professional;
    gf_guiSetFeedText(version ? fmt::format("RT App {} edition: {}", version->professional ? "prof" : "stnd",
                                            gf_quoteInput(version->version))
                              : std::string());
}

} // namespace zelk

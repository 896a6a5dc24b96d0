#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "feed/RTAppProtocol.h"

namespace zelk::emu {

// What the RealTraffic app's stand-in sends (docs/feed-protocol.md).
struct EmuScenario {
    struct Timed {
        double atSeconds = 0.0;
        bool weather = false;
        std::string line;
    };
    std::string version;             // the reply to Qs999=version
    std::vector<std::string> buffer; // lines of Qs999=sendbuffer
    std::vector<std::string> parked; // RTPARK lines
    std::vector<Timed> timed;        // sorted by time
    double loopSeconds = 0.0;        // 0: the schedule runs once
};

// Throws std::runtime_error "scenario line {}: {}" for a statement it cannot read.
EmuScenario gf_parseEmuScenario(std::string_view text);
// {t}, {t+N} and {t-N} replaced by Unix time now (± N s).
std::string gf_expandEmuTimes(std::string_view line, std::int64_t now);

enum class EmuFault { None, NoVersion, SplitVersion, HugeVersion, CloseAfterVersion, Garbage, NoBuffer, NoParked };
std::optional<EmuFault> gf_parseEmuFault(std::string_view text);

struct EmuOptions {
    std::uint16_t tcpPort = 10747;
    RTAppUdpPorts udpPorts;
    EmuFault fault = EmuFault::None;
    std::filesystem::path recordFile; // empty: not written
};

// The stand-in itself: connects to 127.0.0.1 as the app does, answers the
// requests, records what it gets and sends the scenario's datagrams.
class RTAppEmulator {
public:
    RTAppEmulator(EmuScenario scenario, EmuOptions options);
    void run(std::stop_token stop);

    // TCP lines received so far (CRLF removed); safe from any thread.
    std::vector<std::string> recordedLines() const;
    int connections() const noexcept { return connections_.load(); }

private:
    struct Impl;
    EmuScenario scenario_;
    EmuOptions options_;
    mutable std::mutex mutex_;
    std::vector<std::string> recorded_;
    std::atomic<int> connections_{0};

    void record(const std::string& line);
    friend struct Impl;
};

} // namespace zelk::emu

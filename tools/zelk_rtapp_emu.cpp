// The RealTraffic app's stand-in for tests and bug hunts on one machine; see
// docs/feed-protocol.md for the scenario format.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "platform/NetworkLayer.h"
#include "rtapp_emu/RTAppEmulator.h"

namespace {

constexpr std::string_view kUsage =
    "usage: zelk_rtapp_emu --scenario <file> [--port <tcp>] [--udp <traffic>,<weather>]\n"
    "                      [--record <file>] [--fault no-version|split-version|huge-version|\n"
    "                       close-after-version|garbage|no-buffer|no-parked] [--duration <s>]\n";

struct Arguments {
    std::string scenario;
    zelk::emu::EmuOptions options;
    double durationSeconds = 0.0;
};

bool lf_number(std::string_view text, auto& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

bool lf_parse(int argc, char** argv, Arguments& args)
{
    args.options.udpPorts = zelk::gf_rtAppUdpPorts();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view key = argv[i];
        const std::string_view value = argv[i + 1];
        if (key == "--scenario") args.scenario = value;
        else if (key == "--record") args.options.recordFile = std::string(value);
        else if (key == "--port") { if (!lf_number(value, args.options.tcpPort)) return false; }
        else if (key == "--duration") { if (!lf_number(value, args.durationSeconds)) return false; }
        else if (key == "--udp") {
            const auto ports = zelk::gf_parseRTAppUdpPorts(value);
            if (!ports) return false;
            args.options.udpPorts = *ports;
        } else if (key == "--fault") {
            const auto fault = zelk::emu::gf_parseEmuFault(value);
            if (!fault) return false;
            args.options.fault = *fault;
        } else return false;
    }
    return argc % 2 == 1 && !args.scenario.empty();
}

} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (!lf_parse(argc, argv, args)) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        std::ifstream file(args.scenario, std::ios::binary);
        if (!file) throw std::runtime_error("cannot read " + args.scenario);
        std::ostringstream text;
        text << file.rdbuf();
        zelk::platform::NetworkLayer network;
        zelk::emu::RTAppEmulator emulator(zelk::emu::gf_parseEmuScenario(text.str()), args.options);
        std::jthread worker([&emulator](std::stop_token stop) { emulator.run(stop); });
        if (args.durationSeconds > 0.0)
            std::this_thread::sleep_for(std::chrono::duration<double>(args.durationSeconds));
        else
            worker.join();
    } catch (const std::exception& e) {
        std::cerr << "zelk_rtapp_emu: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

// The RealTraffic web API's stand-in on 127.0.0.1 for tests and trials:
//   zelk_rtapi_emu --scenario <file> [--folder <dir>] [--record <file>] [--duration <s>]
// prints "port <n>" and "ca <path>" (its test CA) once it listens, then
// answers from the scenario until the duration ends or it is killed.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "rtapi_emu/RTAPIEmulator.h"

namespace {

int lf_usage()
{
    std::cerr << "usage: zelk_rtapi_emu --scenario <file> [--folder <dir>] [--record <file>] [--duration <s>]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::filesystem::path scenarioFile;
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "zelk_rtapi_emu";
    std::filesystem::path record;
    double duration = -1.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--scenario") scenarioFile = argv[i + 1];
        else if (option == "--folder") folder = argv[i + 1];
        else if (option == "--record") record = argv[i + 1];
        else if (option == "--duration") duration = std::stod(argv[i + 1]);
        else return lf_usage();
    }
    if (scenarioFile.empty() || argc % 2 == 0) return lf_usage();
    try {
        std::ifstream in(scenarioFile, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + scenarioFile.string());
        std::stringstream text;
        text << in.rdbuf();
        zelk::emu::RTAPIEmulator emulator(folder, zelk::emu::gf_parseApiScenario(text.str()), record);
        std::cout << "port " << emulator.port() << "\nca " << emulator.caFile().string() << std::endl;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(duration);
        while (duration < 0.0 || std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } catch (const std::exception& e) {
        std::cerr << "zelk_rtapi_emu: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

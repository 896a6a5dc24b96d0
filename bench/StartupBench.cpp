// From lf_main to the first engine pass: the program's own start-up with the
// demo set-up (its data sets, the demo simulator folder, the simulator
// stand-in, the RealTraffic app's stand-in on loopback) and a scanned-liveries
// file a previous run left. The time is split into the waits the protocols
// and the polls fix (the settle after the app's version reply, the worker's
// polls for the simulator and the app) and ZELK's own work, the rest.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "BenchData.h"
#include "app/MainLoop.h"
#include "app/RunWorker.h"
#include "app/Startup.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/StopRequest.h"
#include "gui/Gui.h"
#include "gui/HeadlessWindow.h"
#include "gui/WaitClock.h"
#include "platform/Socket.h"
#include "rtapp_emu/RTAppEmulator.h"
#include "traffic/EnginePass.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The per-user folders of this benchmark process, set before anything asks for
// them: the start-up writes its parameters there, never into the user's own.
const fs::path kUserFolders = [] {
    const fs::path folder = bench::ownTempFolder("zelk-startup-user");
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    return folder;
}();

std::string lf_read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void lf_write(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string lf_replaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// A free loopback port of the kind (the system picks it; ours until closed).
std::uint16_t lf_freePort(bool udp)
{
    const platform::Socket socket = udp ? platform::Socket::udpReceiver(0, std::chrono::milliseconds(1))
                                        : platform::Socket::tcpListener("0");
    return socket.localPort();
}

// The real steady clock, counting the sleeps of one thread while it is armed,
// by what they wait for.
class CountingClock final : public WaitClock {
public:
    TimePoint now() const override { return Clock::now(); }
    void sleepUntil(TimePoint t) override
    {
        const TimePoint start = Clock::now();
        std::this_thread::sleep_until(t);
        if (!armed_.load() || std::this_thread::get_id() != counted_) return;
        const auto slept = Clock::now() - start;
        std::scoped_lock guard(lock_);
        (gf_waitPurpose() == WaitPurpose::Settle ? settle_ : polls_) += slept;
    }

    void arm(std::thread::id thread)
    {
        std::scoped_lock guard(lock_);
        counted_ = thread;
        settle_ = polls_ = Clock::duration::zero();
        armed_.store(true);
    }
    void disarm() { armed_.store(false); }
    Clock::duration settle() const
    {
        std::scoped_lock guard(lock_);
        return settle_;
    }
    Clock::duration polls() const
    {
        std::scoped_lock guard(lock_);
        return polls_;
    }

private:
    std::atomic<bool> armed_{false};
    std::thread::id counted_;
    mutable std::mutex lock_;
    Clock::duration settle_{};
    Clock::duration polls_{};
};

// The program's working folder as the demo installation has it.
class DemoSetUp {
public:
    DemoSetUp()
    {
        work_ = bench::ownTempFolder("zelk-startup-run");
        for (const char* folder : {"input", "docs"})
            fs::copy(fs::path(ZELK_BENCH_RUN_FOLDER) / folder, work_ / folder, fs::copy_options::recursive);
        fs::copy_file(demo() / "RealTraffic.lic", work_ / "RealTraffic.lic");
        tcpPort_ = lf_freePort(false);
        udp_ = {lf_freePort(true), lf_freePort(true)};
        ::setenv("ZELK_RTAPP_UDP_PORTS", fmt::format("{},{}", udp_.traffic, udp_.weather).c_str(), 1);
        ::setenv("ZELK_SIMSTANDIN_SCRIPT", (demo() / "simstandin-lszh.json").c_str(), 1);
        ::unsetenv("ZELK_SIMSTANDIN_RECORD");
        // Offline: the update check asks a port nobody listens on.
        ::setenv("ZELK_DOWNLOAD_BASE", "http://127.0.0.1:9/", 1);
        scenario_ = emu::gf_parseEmuScenario(lf_read(demo() / "lszh.scenario"));
        fs::current_path(work_);
        lf_installComponents();
    }

    static fs::path demo() { return fs::path(ZELK_BENCH_SOURCE_FOLDER) / "data" / "demo"; }

    // What a run finds: the demo's parameters and airport folders, its own
    // output (the scanned liveries) kept.
    void freshRun() const
    {
        std::string parameters = lf_read(demo() / "parameters.xml");
        parameters = lf_replaceAll(parameters, "@DEMO_SIM_FOLDER@", (demo() / "MSFS2024").string());
        parameters = lf_replaceAll(parameters, "\"RT Direct\"", "\"RT App\"");
        parameters = lf_replaceAll(parameters, "</parameters>",
                                   fmt::format("  <parameter name=\"PORT_NUMBER\" value=\"{}\" />\n  </parameters>",
                                               tcpPort_));
        lf_write(gf_parametersFile(), parameters);
        std::error_code ec;
        fs::remove_all(work_ / "airports", ec);
        fs::remove_all(work_ / "tblo", ec);
        fs::copy(demo() / "airports", work_ / "airports", fs::copy_options::recursive);
    }

    emu::RTAppEmulator emulator() const
    {
        emu::EmuOptions options;
        options.tcpPort = tcpPort_;
        options.udpPorts = udp_;
        return emu::RTAppEmulator(scenario_, options);
    }

    fs::path work() const { return work_; }

private:
    fs::path work_;
    std::uint16_t tcpPort_ = 0;
    RTAppUdpPorts udp_;
    emu::EmuScenario scenario_;
};

struct RunTimes {
    Clock::duration toFirstPass{};
    Clock::duration settle{};
    Clock::duration polls{};
    bool reached = false;
};

// One run of the program through the headless window, closed at its first
// engine pass.
RunTimes lf_runToFirstPass(const DemoSetUp& setUp, CountingClock& clock)
{
    setUp.freshRun();
    gf_resetStopRequest();
    stop_detail::resetClosingByUserForTests();
    gf_setRestartFlag(false);
    gf_setDbaseReadAttempted(false);
    gf_setExitCode(0);

    emu::RTAppEmulator app = setUp.emulator();
    std::jthread appThread([&app](std::stop_token stop) { app.run(stop); });

    RunTimes times;
    Clock::time_point started{};
    std::shared_ptr<HeadlessWindow> window;
    std::atomic<bool> passed{false};
    MainLoopProbe probe;
    probe.enginePass = [&] {
        if (!passed.exchange(true)) {
            clock.disarm();
            times.toFirstPass = Clock::now() - started;
            times.settle = clock.settle();
            times.polls = clock.polls();
            times.reached = true;
            window->close();
        }
        lf_handleAddingStack();
    };
    gf_setMainLoopProbe(probe);

    HeadlessWindow::Options options;
    options.runWorker = [&] {
        clock.arm(std::this_thread::get_id());
        started = Clock::now();
        lf_main();
    };
    options.exitCode = [] { return gf_exitCode(); };
    options.printMessages = false;
    options.handleCloseSignals = false;
    window = std::make_shared<HeadlessWindow>(options);
    if (window->create()) {
        gf_gui().resetPanelState();
        gf_gui().postToWindow(MSG_START);
        window->runMessageLoop();
    }
    clock.disarm();
    gf_setMainLoopProbe({});
    appThread.request_stop();
    return times;
}

double lf_seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_StartToFirstEnginePass(benchmark::State& state)
{
    static DemoSetUp setUp;
    auto clock = std::make_shared<CountingClock>();
    gf_setWaitClock(clock);
    // The run before: its scan leaves the scanned-liveries file the timed runs find.
    if (!lf_runToFirstPass(setUp, *clock).reached ||
        !fs::exists(setUp.work() / "output" / "LiveriesScanned_MSFS2024.xml")) {
        gf_setWaitClock(nullptr);
        gf_flushLog();
        const std::string log = lf_read(setUp.work() / "Log.txt");
        fmt::print(stderr, "{}\n", log.substr(log.size() > 4000 ? log.size() - 4000 : 0));
        state.SkipWithError("the demo run reached no engine pass (the end of its Log.txt above)");
        return;
    }
    double own = 0.0;
    double settle = 0.0;
    double polls = 0.0;
    double worst = 0.0;
    for (auto _ : state) {
        const RunTimes times = lf_runToFirstPass(setUp, *clock);
        if (!times.reached) {
            state.SkipWithError("a run reached no engine pass");
            break;
        }
        const double ownS = lf_seconds(times.toFirstPass - times.settle - times.polls);
        own += ownS;
        worst = std::max(worst, ownS);
        settle += lf_seconds(times.settle);
        polls += lf_seconds(times.polls);
        state.SetIterationTime(lf_seconds(times.toFirstPass));
    }
    gf_setWaitClock(nullptr);
    const auto runs = static_cast<double>(state.iterations());
    if (runs > 0) {
        state.counters["own_work_s"] = own / runs;
        state.counters["own_work_worst_s"] = worst;
        state.counters["settle_s"] = settle / runs;
        state.counters["polls_s"] = polls / runs;
    }
}
BENCHMARK(BM_StartToFirstEnginePass)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

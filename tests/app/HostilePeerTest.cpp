// The program as a process, fed by the RealTraffic app's stand-in, while a
// second sender on the network attacks its ports: random bytes, absurd
// records, control characters, floods of parked lines, ids, end markers and
// late history, TCP clients that never speak. The program keeps running
// within its memory and log bounds, takes the good records sent beside the bad
// ones, and still serves the real app.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "platform/NetworkLayer.h"
#include "platform/Socket.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The program and its working folder's data sets: ZELK_BINARY when set, else
// "zelk" at the top of the build folder, which holds this test program in "tests".
std::optional<fs::path> programPath()
{
    if (const char* env = std::getenv("ZELK_BINARY"); env != nullptr && *env != '\0') return fs::path(env);
    std::error_code ec;
    const fs::path guess = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "zelk";
    if (!ec && fs::is_regular_file(guess, ec)) return guess;
    return std::nullopt;
}

fs::path sourceRoot()
{
    const char* data = std::getenv("ZELK_TEST_DATA");
    return data != nullptr ? fs::path(data).parent_path().parent_path() : fs::path(__FILE__).parent_path().parent_path().parent_path();
}

// A number of /proc/<pid>/status in kB ("VmRSS", "VmHWM"); 0 when unreadable.
std::uint64_t procStatusKb(long pid, const std::string& key)
{
    std::ifstream status(fmt::format("/proc/{}/status", pid));
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(key + ":")) return std::strtoull(line.c_str() + key.size() + 1, nullptr, 10);
    return 0;
}

std::uint16_t freePort(bool tcp)
{
    return tcp ? platform::Socket::tcpListener("0").localPort() : platform::Socket::udpReceiver(0, 100ms).localPort();
}

// An RTTFC line near Zurich with the given identity and values.
std::string trafficLine(std::uint32_t hexId, const std::string& callsign, const std::string& registration,
                        double latitude, double longitude, const std::string& altitude, const std::string& gs,
                        const std::string& time)
{
    return fmt::format("RTTFC,{},{:.6f},{:.6f},{},0,0,90,{},{},A320,{},ZRH,LHR,{},adsb,null,adsb_icao,,,{},,,0,,90,,,"
                       "A3,,,,,,,,,,,,,,,SWR",
                       hexId, latitude, longitude, altitude, gs, callsign, registration, time, gs);
}

// The second sender: every attack bounded in count, all of it within about ten seconds.
class HostileSender {
public:
    HostileSender(std::uint16_t traffic, std::uint16_t weather, std::uint16_t tcp)
        : traffic_(traffic), weather_(weather), tcp_(tcp)
    {
    }

    void run()
    {
        const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        // Two TCP clients besides the app: one silent, one sending garbage.
        std::vector<platform::Socket> clients;
        for (int i = 0; i < 2; ++i) {
            try {
                clients.push_back(platform::Socket::tcpConnect("127.0.0.1", tcp_));
                if (i == 1) clients.back().sendAll(std::string(64 * 1024, '\x01') + "\r\nQs999=version\r\n");
            } catch (const platform::SocketError&) {
            }
        }
        std::mt19937 random(20240607);
        for (int round = 0; round < 100; ++round) {
            const std::int64_t t = now + round / 10;
            // A good aircraft in every datagram of bad lines, with its end of batch.
            const std::string good =
                trafficLine(0x4B1F00, "SWR999", "HB-JZZ", 47.40 + round * 0.0003, 8.50, "3000", "150",
                            std::to_string(t));
            std::string bad;
            bad += trafficLine(0x4B1F01 + round, "SWR9A", "HB-JZA", 47.4, 8.5, "1e308", "150", std::to_string(t)) + "\n";
            bad += trafficLine(0x4B1F01 + round, "SWR9B", "HB-JZB", 47.4, 8.5, "3000", "1e308", std::to_string(t)) + "\n";
            bad += trafficLine(0x4B1F01 + round, "SWR9C", "HB-JZC", 47.4, 8.5, "3000", "150", "253402300799") + "\n";
            bad += trafficLine(0x4B1F01 + round, std::string("SW\x1b[2J\0R", 8), "HB\x07JZD", 47.4, 8.5, "3000",
                               "150", std::to_string(t)) + "\n";
            bad += "RTTFC,1,2,3\n" + std::string(300, '\xff') + "\nRTBUF_EOT\nRTPARK_EOT\nRTBUF_SEP\n";
            send(traffic_, bad + good + "\nRTTFC_EOT\n");
            // Random bytes on both ports.
            for (int i = 0; i < 20; ++i) {
                std::string noise(1 + random() % 1400, '\0');
                for (char& c : noise) c = static_cast<char>(random());
                send(i % 5 == 0 ? weather_ : traffic_, noise);
            }
            send(weather_, R"({"ICAO":"LSZH\u001b[2J","QNH":1e308,"METAR":")" + std::string(5000, 'M') + "\"}");
            // Parked lines of ever new aircraft (5,000 a round), ids never
            // seen before (1,200 a round), end markers of lists nobody asked
            // for and late history batches, each kind by the datagram full.
            for (int d = 0; d < 5; ++d) {
                std::string parked;
                for (int i = 0; i < 1000; ++i)
                    parked += fmt::format("RTPARK,{:x},47.46,8.55,XX{},A320,HB-X{},Z{},{}\n",
                                          0x600000 + (round * 5 + d) * 1000 + i, i, i, i, t);
                send(traffic_, parked);
            }
            for (int d = 0; d < 3; ++d) {
                std::string ids;
                for (int i = 0; i < 400; ++i) {
                    const std::uint32_t id = 0xA00000 + (round * 3 + d) * 400 + i;
                    ids += trafficLine(id, "", "", 47.45, 8.56, "3000", "150", std::to_string(t)) + "\n";
                }
                send(traffic_, ids);
            }
            std::string markers;
            while (markers.size() < 60000) markers += "RTBUF_EOT\nRTPARK_EOT\n";
            for (int d = 0; d < 3; ++d) send(traffic_, markers);
            std::string history;
            while (history.size() < 60000)
                history += trafficLine(0x800000 + history.size() % 1000, "HIS1", "HB-HIS", 47.45, 8.56, "3000", "150",
                                       std::to_string(t)) + "\nRTBUF_SEP\n";
            send(traffic_, history);
            std::this_thread::sleep_for(60ms);
        }
    }
    std::uint64_t datagrams() const { return sent_; }

private:
    void send(std::uint16_t port, const std::string& data)
    {
        // A datagram holds at most 65,507 bytes; longer text goes in pieces.
        for (std::size_t at = 0; at < data.size(); at += 65000) {
            sender_.sendDatagram("127.0.0.1", port, std::string_view(data).substr(at, 65000));
            ++sent_;
            // A flood the reader can take in, rather than one the socket drops.
            if (data.size() > 10000) std::this_thread::sleep_for(2ms);
        }
    }

    std::uint16_t traffic_;
    std::uint16_t weather_;
    std::uint16_t tcp_;
    platform::Socket sender_ = platform::Socket::udpSender();
    std::uint64_t sent_ = 0;
};

class HostilePeer : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        const auto program = programPath();
        if (!program) GTEST_SKIP() << "the zelk program is not built (set ZELK_BINARY)";
        program_ = *program;
        const fs::path input = program_.parent_path() / "run" / "input";
        if (!fs::exists(input / "dbase.enc")) GTEST_SKIP() << "the encrypted data sets are not built";
        demo_ = sourceRoot() / "data" / "demo";
        ASSERT_TRUE(fs::exists(demo_ / "lszh.scenario")) << demo_;
        platform::startNetworkLayer();
    }
    void TearDown() override
    {
        zelk_.kill();
        app_.kill();
        platform::shutdownNetworkLayer();
        TempDirTest::TearDown();
    }

    // The demo's working set-up in this test's folder, as scripts/run.sh makes it.
    void prepareWorkingFolder(std::uint16_t tcpPort)
    {
        fs::create_directories(file("work"));
        for (const char* folder : {"input", "docs"})
            fs::copy(program_.parent_path() / "run" / folder, file("work") / folder, fs::copy_options::recursive);
        fs::copy(demo_ / "airports", file("work/airports"), fs::copy_options::recursive);
        fs::copy_file(demo_ / "RealTraffic.lic", file("work/RealTraffic.lic"));
        std::string params = readAll(demo_ / "parameters.xml");
        const auto replace = [&](const std::string& what, const std::string& with) {
            const auto at = params.find(what);
            ASSERT_NE(at, std::string::npos) << what;
            params.replace(at, what.size(), with);
        };
        replace("@DEMO_SIM_FOLDER@", (demo_ / "MSFS2024").string());
        replace("\"RT Direct\"", "\"RT App\"");
        replace("</parameters>",
                fmt::format("  <parameter name=\"PORT_NUMBER\" value=\"{}\" />\n  </parameters>", tcpPort));
        fs::create_directories(file("config/ZELK"));
        writeAll(file("config/ZELK/parameters.xml"), params);
    }

    fs::path program_;
    fs::path demo_;
    ChildProcess app_;
    ChildProcess zelk_;
};

TEST_F(HostilePeer, TheProgramSurvivesASecondSenderAndServesTheApp)
{
    const std::uint16_t tcp = freePort(true);
    const std::uint16_t traffic = freePort(false);
    const std::uint16_t weather = freePort(false);
    prepareWorkingFolder(tcp);
    const std::string udp = fmt::format("{},{}", traffic, weather);
    ScopedEnv config("XDG_CONFIG_HOME", file("config").string());
    ScopedEnv download("ZELK_DOWNLOAD_BASE", "http://127.0.0.1:9/");
    ScopedEnv ports("ZELK_RTAPP_UDP_PORTS", udp);
    ScopedEnv script("ZELK_SIMSTANDIN_SCRIPT", (demo_ / "simstandin-lszh.json").string());
    ScopedEnv record("ZELK_SIMSTANDIN_RECORD", file("work/simstandin-record.jsonl").string());

    app_ = ChildProcess(fs::path(program_.parent_path() / "tools" / "zelk_rtapp_emu"),
                        {"--scenario", (demo_ / "lszh.scenario").string(), "--port", std::to_string(tcp), "--udp", udp,
                         "--record", file("app-record.txt").string(), "--duration", std::to_string(kTestLimit.count())},
                        file("app-out.txt"));
    fs::current_path(file("work"));
    // Time for the start, the buffer, some ten seconds of attack and the app served after it.
    zelk_ = ChildProcess(program_, {"--demo-seconds", "50"}, file("zelk-out.txt"));

    // The memory the program holds, watched from outside while it runs.
    std::atomic<bool> watching{true};
    std::atomic<std::uint64_t> peakKb{0};
    std::jthread watcher([&] {
        while (watching) {
            peakKb = std::max(peakKb.load(), procStatusKb(zelk_.id(), "VmHWM"));
            std::this_thread::sleep_for(50ms);
        }
    });

    ASSERT_TRUE(waitForFileText(file("work/Log.txt"), "Buffer traffic received", kEventWait))
        << readAll(file("zelk-out.txt"));
    const auto logBefore = fs::file_size(file("work/Log.txt"));
    const auto attackStart = Clock::now();
    HostileSender sender(traffic, weather, tcp);
    sender.run();
    const auto attackTime = Clock::now() - attackStart;
    EXPECT_LT(attackTime, 30s);
    const std::size_t appLinesAfterAttack = readAll(file("app-record.txt")).size();
    EXPECT_TRUE(zelk_.running()) << "the program ended under attack:\n" << readAll(file("zelk-out.txt"));

    const auto status = zelk_.waitFor(kEventWait);
    watching = false;
    watcher.join();
    ASSERT_TRUE(status) << "the program did not end after its demo time";
    EXPECT_LT(*status, 128) << "killed by a signal";
    const std::string log = readAll(file("work/Log.txt"));
    EXPECT_NE(log.find("Demo summary:"), std::string::npos) << "the run closed down in order";

    const auto logGrowth = fs::file_size(file("work/Log.txt")) - logBefore;
    EXPECT_LT(logGrowth, 1u << 20) << "Log.txt grew by " << logGrowth << " bytes";
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(peakKb.load(), 100u * 1024u) << "peak resident memory in kB";
#endif
    // The good aircraft sent beside the bad lines reached the engine and the simulator.
    EXPECT_NE(readAll(file("work/simstandin-record.jsonl")).find("\"tail\":\"HB-JZZ\""), std::string::npos)
        << "the hostile sender's good aircraft was never created";
    // No control character of a peer reached the log.
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
    EXPECT_EQ(log.find('\x07'), std::string::npos);
    // The real app was served after the attacks: the program kept telling it where the user is.
    const std::string appRecord = readAll(file("app-record.txt"));
    EXPECT_NE(appRecord.find("Qs121=", appLinesAfterAttack), std::string::npos) << "nothing sent to the app after";
    std::cout << fmt::format("{} datagrams in {} ms; Log.txt +{} bytes; peak resident {} kB\n", sender.datagrams(),
                             std::chrono::duration_cast<std::chrono::milliseconds>(attackTime).count(), logGrowth,
                             peakKb.load());
}

} // namespace
} // namespace zelk::test

#endif

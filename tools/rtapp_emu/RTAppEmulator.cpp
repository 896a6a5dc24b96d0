#include "rtapp_emu/RTAppEmulator.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <fmt/format.h>

#include "platform/Socket.h"

namespace zelk::emu {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kConnectRetry{200};
constexpr std::chrono::milliseconds kPoll{20};
// Lines packed into one datagram of the buffer and the parked list.
constexpr std::size_t kPackBytes = 8192;

std::string_view lf_trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::pair<std::string_view, std::string_view> lf_word(std::string_view text)
{
    text = lf_trim(text);
    const auto space = text.find(' ');
    if (space == std::string_view::npos) return {text, {}};
    return {text.substr(0, space), lf_trim(text.substr(space + 1))};
}

double lf_seconds(std::string_view text)
{
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0.0)
        throw std::runtime_error(fmt::format("not a time in seconds: '{}'", text));
    return value;
}

EmuScenario::Timed lf_timed(std::string_view rest)
{
    const auto [when, more] = lf_word(rest);
    const auto [port, line] = lf_word(more);
    if (port != "traffic" && port != "weather") throw std::runtime_error("'at' needs traffic or weather");
    return {lf_seconds(when), port == "weather", std::string(line)};
}

// Datagrams of whole lines, each at most kPackBytes (a longer line alone).
std::vector<std::string> lf_pack(const std::vector<std::string>& lines)
{
    std::vector<std::string> datagrams(1);
    for (const auto& line : lines) {
        if (!datagrams.back().empty() && datagrams.back().size() + line.size() + 1 > kPackBytes) datagrams.emplace_back();
        datagrams.back() += line;
        datagrams.back() += '\n';
    }
    return datagrams;
}

// The bad datagrams of the "garbage" fault, made from one good traffic line.
std::vector<std::string> lf_garbage(const std::string& good)
{
    std::vector<std::string> bad;
    bad.push_back(good.substr(0, good.size() / 2) + "\n");
    // The hex id and the latitude as words.
    std::string words = good;
    if (const auto comma = words.find(','); comma != std::string::npos) words.replace(comma + 1, 0, "id");
    if (const auto comma = words.find(',', words.find(',') + 1); comma != std::string::npos)
        words.replace(comma + 1, 0, "north");
    bad.push_back(words);
    bad.push_back(std::string(60 * 1024, 'A') + "\n");
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    bad.push_back(binary);
    return bad;
}

std::int64_t lf_unixNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

EmuScenario gf_parseEmuScenario(std::string_view text)
{
    EmuScenario scenario;
    std::vector<std::string>* block = nullptr;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        const std::string_view line = lf_trim(raw);
        if (line.empty() || line.front() == '#') continue;
        try {
            if (block) {
                if (line == "end") block = nullptr;
                else block->emplace_back(line);
                continue;
            }
            const auto [word, rest] = lf_word(line);
            if (word == "version") scenario.version = std::string(rest);
            else if (word == "buffer") block = &scenario.buffer;
            else if (word == "parked") block = &scenario.parked;
            else if (word == "at") scenario.timed.push_back(lf_timed(rest));
            else if (word == "loop") scenario.loopSeconds = lf_seconds(rest);
            else throw std::runtime_error(fmt::format("unknown statement '{}'", word));
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(fmt::format("scenario line {}: {}", number, e.what()));
        }
    }
    if (block) throw std::runtime_error("scenario: block without 'end'");
    std::stable_sort(scenario.timed.begin(), scenario.timed.end(),
                     [](const auto& a, const auto& b) { return a.atSeconds < b.atSeconds; });
    return scenario;
}

std::string gf_expandEmuTimes(std::string_view line, std::int64_t now)
{
    std::string out;
    for (;;) {
        const auto open = line.find("{t");
        const auto close = open == std::string_view::npos ? open : line.find('}', open);
        if (close == std::string_view::npos) break;
        const std::string_view offset = line.substr(open + 2, close - open - 2);
        std::int64_t delta = 0;
        if (!offset.empty()) {
            const std::string_view digits = offset.front() == '+' ? offset.substr(1) : offset;
            std::from_chars(digits.data(), digits.data() + digits.size(), delta);
        }
        out += line.substr(0, open);
        out += std::to_string(now + delta);
        line.remove_prefix(close + 1);
    }
    out += line;
    return out;
}

std::optional<EmuFault> gf_parseEmuFault(std::string_view text)
{
    if (text == "no-version") return EmuFault::NoVersion;
    if (text == "split-version") return EmuFault::SplitVersion;
    if (text == "huge-version") return EmuFault::HugeVersion;
    if (text == "close-after-version") return EmuFault::CloseAfterVersion;
    if (text == "garbage") return EmuFault::Garbage;
    if (text == "no-buffer") return EmuFault::NoBuffer;
    if (text == "no-parked") return EmuFault::NoParked;
    return std::nullopt;
}

// One run of the stand-in: its sockets and schedule.
struct RTAppEmulator::Impl {
    explicit Impl(RTAppEmulator& owner) : emu(owner) {}

    RTAppEmulator& emu;
    platform::Socket udp = platform::Socket::udpSender();
    platform::Socket tcp;
    std::string pending;
    Clock::time_point nextConnect = Clock::now();
    Clock::time_point cycleStart = Clock::now();
    std::size_t nextTimed = 0;

    void sendUdp(bool weather, std::string_view data) const
    {
        const auto port = weather ? emu.options_.udpPorts.weather : emu.options_.udpPorts.traffic;
        udp.sendDatagram("127.0.0.1", port, data);
    }

    void sendLines(std::vector<std::string> lines, std::string_view end) const
    {
        const std::int64_t now = lf_unixNow();
        for (auto& line : lines) line = gf_expandEmuTimes(line, now);
        lines.emplace_back(end);
        for (const auto& datagram : lf_pack(lines)) sendUdp(false, datagram);
    }

    void connect()
    {
        if (Clock::now() < nextConnect) return;
        nextConnect = Clock::now() + kConnectRetry;
        try {
            tcp = platform::Socket::tcpConnect("127.0.0.1", emu.options_.tcpPort);
            pending.clear();
            emu.connections_.fetch_add(1);
        } catch (const platform::SocketError&) {
            tcp.close();
        }
    }

    void answerVersion()
    {
        const std::string reply = emu.scenario_.version + "\n";
        switch (emu.options_.fault) {
        case EmuFault::NoVersion: return;
        case EmuFault::HugeVersion: tcp.sendAll(std::string(20 * 1024, '{')); return;
        case EmuFault::SplitVersion: {
            const std::size_t third = reply.size() / 3;
            for (std::size_t start : {std::size_t{0}, third, 2 * third}) {
                tcp.sendAll(reply.substr(start, start == 2 * third ? std::string::npos : third));
                if (start != 2 * third) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            return;
        }
        case EmuFault::CloseAfterVersion: tcp.sendAll(reply); tcp.close(); return;
        default: tcp.sendAll(reply); return;
        }
    }

    void answerParked(const RTAppBox& box) const
    {
        std::vector<std::string> inside;
        for (const auto& line : emu.scenario_.parked) {
            const auto fields = gf_splitRTAppFields(line);
            try {
                if (fields.size() > 3 && box.contains(gf_parseRTAppNumber("lat", fields[2]),
                                                      gf_parseRTAppNumber("lon", fields[3])))
                    inside.push_back(line);
            } catch (const std::runtime_error&) {
                inside.push_back(line); // a bad line goes out as it is, for the reader to refuse
            }
        }
        sendLines(inside, "RTPARK_EOT");
    }

    void handle(const std::string& line)
    {
        emu.record(line);
        const EmuFault fault = emu.options_.fault;
        if (line == "Qs999=version") answerVersion();
        else if (line == "Qs999=sendbuffer") {
            if (fault != EmuFault::NoBuffer) sendLines(emu.scenario_.buffer, "RTBUF_EOT");
        } else if (const auto box = gf_parseRTAppParkedRequest(line)) {
            if (fault != EmuFault::NoParked) answerParked(*box);
        }
    }

    void receive()
    {
        if (!tcp.valid() || !tcp.waitReadable(kPoll)) return;
        char buffer[4096];
        const std::size_t n = tcp.receiveSome(buffer);
        if (n == 0) {
            tcp.close();
            return;
        }
        pending.append(buffer, n);
        for (auto end = pending.find('\n'); end != std::string::npos && tcp.valid(); end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            handle(line);
        }
    }

    void sendTimed()
    {
        const auto& timed = emu.scenario_.timed;
        const double elapsed = std::chrono::duration<double>(Clock::now() - cycleStart).count();
        if (nextTimed >= timed.size() && emu.scenario_.loopSeconds > 0.0 && elapsed >= emu.scenario_.loopSeconds) {
            cycleStart += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(emu.scenario_.loopSeconds));
            nextTimed = 0;
            return;
        }
        for (; nextTimed < timed.size() && timed[nextTimed].atSeconds <= elapsed; ++nextTimed) {
            const std::string line = gf_expandEmuTimes(timed[nextTimed].line, lf_unixNow()) + "\n";
            sendUdp(timed[nextTimed].weather, line);
            // Bad copies of record lines only: an end marker has nothing to spoil.
            if (emu.options_.fault == EmuFault::Garbage && !timed[nextTimed].weather &&
                line.find(',') != std::string::npos)
                for (const auto& bad : lf_garbage(line)) sendUdp(false, bad);
        }
    }
};

RTAppEmulator::RTAppEmulator(EmuScenario scenario, EmuOptions options)
    : scenario_(std::move(scenario)), options_(std::move(options))
{
}

void RTAppEmulator::run(std::stop_token stop)
{
    Impl impl(*this);
    while (!stop.stop_requested()) {
        try {
            if (!impl.tcp.valid()) impl.connect();
            impl.receive();
        } catch (const platform::SocketError&) {
            impl.tcp.close(); // the server went away; connect again
        }
        try {
            impl.sendTimed();
        } catch (const platform::SocketError&) {
            // Nobody listening on a UDP port is no reason to stop.
        }
        if (!impl.tcp.valid()) std::this_thread::sleep_for(kPoll);
    }
}

std::vector<std::string> RTAppEmulator::recordedLines() const
{
    std::scoped_lock guard(mutex_);
    return recorded_;
}

void RTAppEmulator::record(const std::string& line)
{
    std::scoped_lock guard(mutex_);
    recorded_.push_back(line);
    if (options_.recordFile.empty()) return;
    std::ofstream file(options_.recordFile, std::ios::app | std::ios::binary);
    file << line << '\n';
}

} // namespace zelk::emu

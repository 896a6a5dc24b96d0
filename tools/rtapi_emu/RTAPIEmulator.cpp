#include "rtapi_emu/RTAPIEmulator.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include <fmt/format.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "rtapp_emu/RTAppEmulator.h"

namespace zelk::emu {
namespace {

std::string_view lf_trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::string_view lf_takeWord(std::string_view& text)
{
    text = lf_trim(text);
    const auto space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view{} : lf_trim(text.substr(space + 1));
    return word;
}

int lf_integer(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0)
        throw std::runtime_error(fmt::format("not a number: '{}'", text));
    return value;
}

std::pair<std::string, ApiAnswer> lf_answerLine(std::string_view line)
{
    std::string path(lf_takeWord(line));
    if (path.empty() || path.front() != '/') throw std::runtime_error("a path starting with '/' first");
    ApiAnswer answer;
    answer.httpStatus = lf_integer(lf_takeWord(line));
    for (;;) {
        std::string_view rest = line;
        const std::string_view word = lf_takeWord(rest);
        if (word.starts_with("delay=")) answer.delay = std::chrono::milliseconds(lf_integer(word.substr(6)));
        else if (word == "stall") answer.stall = true;
        else if (word == "again") answer.again = true;
        else break;
        line = rest;
    }
    answer.body = std::string(line);
    return {std::move(path), std::move(answer)};
}

std::string lf_quoted(const std::filesystem::path& path) { return fmt::format("\"{}\"", path.string()); }

constexpr std::size_t kWorkers = 64;

} // namespace

ApiScenario gf_parseApiScenario(std::string_view text)
{
    ApiScenario scenario;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = lf_trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;
        try {
            auto [path, answer] = lf_answerLine(line);
            scenario[path].push_back(std::move(answer));
        } catch (const std::exception& e) {
            throw std::runtime_error(fmt::format("scenario line {}: {}", number, e.what()));
        }
    }
    return scenario;
}

void gf_makeTestCertificate(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    const std::string command = fmt::format(
        "openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost -keyout {} -out {} > {} 2>&1",
        lf_quoted(folder / "key.pem"), lf_quoted(folder / "cert.pem"), lf_quoted(folder / "openssl.log"));
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(folder / "cert.pem"))
        throw std::runtime_error(fmt::format("openssl could not make a test certificate in {}", folder.string()));
}

RTAPIEmulator::RTAPIEmulator(const std::filesystem::path& folder, ApiScenario scenario,
                             std::filesystem::path recordFile)
    : folder_(folder), recordFile_(std::move(recordFile)), scenario_(std::move(scenario))
{
    gf_makeTestCertificate(folder_);
    server_ = std::make_unique<httplib::SSLServer>((folder_ / "cert.pem").string().c_str(),
                                                   (folder_ / "key.pem").string().c_str());
    if (!server_->is_valid()) throw std::runtime_error("the TLS server cannot use its certificate");
    // An idle kept-alive connection holds a worker (and the stop) this long.
    server_->set_keep_alive_timeout(1);
    // Test programs running side by side share one stand-in: every kept
    // connection and stalled answer holds a worker.
    server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    // A prefix before "/v5" keeps the answers of one client apart from
    // another's: "/case7/v5/auth" plays the answers of "/case7/auth".
    server_->Post(R"((.*)/v5(/.*))", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string path = std::string(request.matches[1]) + std::string(request.matches[2]);
        ApiRequest seen{path, {}, std::chrono::steady_clock::now()};
        httplib::Params params;
        httplib::detail::parse_query_text(request.body, params);
        for (const auto& [name, value] : params) seen.form[name] = value;
        const ApiAnswer answer = next(seen);
        {
            std::scoped_lock guard(mutex_);
            if (!recordFile_.empty()) {
                std::ofstream record(recordFile_, std::ios::app | std::ios::binary);
                record << nlohmann::json{{"path", seen.path}, {"form", seen.form}}.dump() << '\n';
            }
            requests_.push_back(std::move(seen));
        }
        changed_.notify_all();
        std::unique_lock lock(mutex_);
        if (answer.stall) changed_.wait(lock, [this] { return released_; });
        else changed_.wait_for(lock, answer.delay, [this] { return released_; });
        lock.unlock();
        response.status = answer.httpStatus;
        response.set_content(gf_expandEmuTimes(answer.body, static_cast<std::int64_t>(std::time(nullptr))),
                             "application/json");
    });
    // A client's scenario, its paths under the prefix before "/control".
    server_->Post(R"((.*)/control)", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string prefix = request.matches[1];
        try {
            for (auto& [path, answers] : gf_parseApiScenario(request.body)) script(prefix + path, std::move(answers));
            response.set_content(R"({"status":200})", "application/json");
        } catch (const std::exception& e) {
            response.status = 400;
            response.set_content(e.what(), "text/plain");
        }
    });
    const int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("the TLS server cannot listen on 127.0.0.1");
    port_ = static_cast<std::uint16_t>(port);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // A stop before the server runs would be lost, and its thread never end.
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

RTAPIEmulator::~RTAPIEmulator()
{
    releaseStalls();
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string RTAPIEmulator::base() const { return fmt::format("https://127.0.0.1:{}/v5", port_); }

void RTAPIEmulator::script(const std::string& path, std::vector<ApiAnswer> answers)
{
    std::scoped_lock guard(mutex_);
    scenario_[path] = std::move(answers);
    played_[path] = 0;
}

ApiAnswer RTAPIEmulator::next(const ApiRequest& request)
{
    std::scoped_lock guard(mutex_);
    std::string path = request.path;
    if (const auto type = request.form.find("querytype"); type != request.form.end())
        if (scenario_.contains(path + "#" + type->second)) path += "#" + type->second;
    const auto it = scenario_.find(path);
    if (it == scenario_.end() || it->second.empty()) return ApiAnswer{404, R"({"status":404})"};
    std::size_t& index = played_[path];
    const ApiAnswer& answer = it->second[std::min(index, it->second.size() - 1)];
    index = answer.again ? 0 : index + 1;
    return answer;
}

std::vector<ApiRequest> RTAPIEmulator::requests(const std::string& path) const
{
    std::scoped_lock guard(mutex_);
    std::vector<ApiRequest> seen;
    for (const auto& request : requests_)
        if (path.empty() || request.path == path) seen.push_back(request);
    return seen;
}

bool RTAPIEmulator::waitForRequests(const std::string& path, std::size_t count, std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] {
        std::size_t n = 0;
        for (const auto& request : requests_) n += request.path == path ? 1 : 0;
        return n >= count;
    });
}

void RTAPIEmulator::releaseStalls()
{
    {
        std::scoped_lock guard(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

} // namespace zelk::emu

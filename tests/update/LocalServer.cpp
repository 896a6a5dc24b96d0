#include "update/LocalServer.h"

#if defined(ZELK_HAVE_HTTPLIB)

#include <stdexcept>

#include <httplib.h>


namespace zelk::test {

LocalServer::LocalServer() : server_(std::make_unique<httplib::Server>())
{
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string path = request.path.size() > 1 ? request.path.substr(1) : std::string();
        Answer answer;
        {
            std::lock_guard lock(lock_);
            ++hits_[path];
            const auto it = answers_.find(path);
            if (it == answers_.end()) {
                response.status = 404;
                response.set_content("not found", "text/plain");
                return;
            }
            answer = it->second;
        }
        response.status = answer.status;
        if (!answer.location.empty()) response.set_header("Location", answer.location);
        if (answer.endless) {
            response.set_chunked_content_provider("application/octet-stream",
                                                  [block = std::string(65'536, 'z')](std::size_t, httplib::DataSink& sink) {
                                                      return sink.write(block.data(), block.size());
                                                  });
            return;
        }
        if (answer.stalls) {
            response.set_content_provider(
                answer.announcedLength, "application/octet-stream",
                [this, first = answer.body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    if (offset == 0) {
                        sink.write(first.data(), first.size());
                        std::lock_guard lock(lock_);
                        stalledSent_ = true;
                        changed_.notify_all();
                        return true;
                    }
                    std::unique_lock lock(lock_);
                    changed_.wait(lock, [this] { return released_; });
                    return false; // the connection ends without the rest
                });
            return;
        }
        if (answer.status != 204) response.set_content(answer.body, "application/octet-stream");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("test server could not bind to 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::yield();
}

LocalServer::~LocalServer()
{
    releaseStalled();
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string LocalServer::closedBase()
{
    const LocalServer gone;
    return gone.base();
}

std::string LocalServer::base() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void LocalServer::serve(const std::string& path, std::string body, int status)
{
    std::lock_guard lock(lock_);
    answers_[path] = Answer{status, std::move(body), {}, false, 0};
}

void LocalServer::redirect(const std::string& path, const std::string& location)
{
    std::lock_guard lock(lock_);
    answers_[path] = Answer{302, "moved elsewhere", base() + location, false, 0};
}

void LocalServer::serveEndless(const std::string& path)
{
    std::lock_guard lock(lock_);
    Answer answer;
    answer.endless = true;
    answers_[path] = answer;
}

void LocalServer::stall(const std::string& path, std::string firstPart, std::size_t announcedLength)
{
    std::lock_guard lock(lock_);
    answers_[path] = Answer{200, std::move(firstPart), {}, true, announcedLength};
}

void LocalServer::waitUntilStalled()
{
    std::unique_lock lock(lock_);
    changed_.wait(lock, [this] { return stalledSent_; });
}

void LocalServer::releaseStalled()
{
    std::lock_guard lock(lock_);
    released_ = true;
    changed_.notify_all();
}

int LocalServer::hits(const std::string& path) const
{
    std::lock_guard lock(lock_);
    const auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

} // namespace zelk::test

#endif

#pragma once

// A loopback HTTP server for the update tests, started and stopped by each
// test. It needs the cpp-httplib library; the build defines ZELK_HAVE_HTTPLIB
// when the test program links it.
#if defined(ZELK_HAVE_HTTPLIB)

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace zelk::test {

class LocalServer {
public:
    LocalServer();  // listening on 127.0.0.1, an ephemeral port
    ~LocalServer(); // releases stalled answers and stops

    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // "http://127.0.0.1:<port>/"
    std::string base() const;
    // The base of a server that has already stopped: nothing answers there.
    static std::string closedBase();

    // Answers GET <base><path> with the status and body (a path not set: 404).
    void serve(const std::string& path, std::string body, int status = 200);
    // 302 to another path, with a short body of its own.
    void redirect(const std::string& path, const std::string& location);
    // Streams a body without announcing its length and without end, until the
    // client hangs up.
    void serveEndless(const std::string& path);
    // Sends the first part of a longer body, then nothing until released.
    void stall(const std::string& path, std::string firstPart, std::size_t announcedLength);

    // Blocks until a stalled answer has sent its first part.
    void waitUntilStalled();
    void releaseStalled();

    // GET requests seen for the path.
    int hits(const std::string& path) const;

private:
    struct Answer {
        int status = 200;
        std::string body;
        std::string location;
        bool stalls = false;
        std::size_t announcedLength = 0;
        bool endless = false;
    };

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, int> hits_;
    bool stalledSent_ = false;
    bool released_ = false;
};

} // namespace zelk::test

#endif

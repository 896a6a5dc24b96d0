#include "feed/ReaderThread.h"

#include <exception>

#include <fmt/format.h>

#include "core/StopRequest.h"
#include "core/Log.h"

namespace zelk {

ReaderThread::ReaderThread(std::string name, std::uint32_t budget)
    : name_(std::move(name)), budget_(budget), onFailure_([](std::string_view reader, const std::string& text) {
          gf_readerStoppedWithException(reader, text);
      })
{
}

ReaderThread::~ReaderThread() { stop(); }

void ReaderThread::start()
{
    stop();
    thread_ = std::jthread([this](std::stop_token token) { run(std::move(token)); });
}

void ReaderThread::run(std::stop_token stop)
{
    failuresInRow_ = 0;
    try {
        body(stop);
    } catch (const std::exception& e) {
        onFailure_(name_, e.what());
    } catch (...) {
        onFailure_(name_, "unknown exception");
    }
}

void ReaderThread::stop()
{
    requestStop();
    join();
}

void ReaderThread::requestStop()
{
    if (!thread_.joinable()) return;
    thread_.request_stop();
    onStopRequested();
}

void ReaderThread::join()
{
    if (thread_.joinable()) thread_.join();
}

void ReaderThread::countFailure(const std::exception& failure)
{
    gf_writeLogLineNoThrow(fmt::format("{}: {}", name_, failure.what()));
    if (++failuresInRow_ >= budget_) throw;
}

} // namespace zelk

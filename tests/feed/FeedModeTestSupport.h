#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/Startup.h"
#include "gui/WaitClock.h"
#include "platform/Socket.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficMailbox.h"

namespace zelk::test {

// A wait clock running `factor` times faster than the steady clock, so the
// program's 10- and 30-second waits pass in a fraction of that while data
// from a real peer still arrive in real time.
class ScaledWaitClock final : public WaitClock {
public:
    explicit ScaledWaitClock(int factor) : factor_(factor) {}
    TimePoint now() const override { return start_ + (std::chrono::steady_clock::now() - start_) * factor_; }
    void sleepUntil(TimePoint t) override
    {
        const auto left = t - now();
        if (left > TimePoint::duration::zero()) std::this_thread::sleep_for(left / factor_);
    }

private:
    int factor_;
    TimePoint start_ = std::chrono::steady_clock::now();
};

// A file of tests/data/feed: through the test command's ZELK_TEST_DATA, or
// beside this header without it.
inline std::filesystem::path feedTestData(const std::string& name)
{
    const char* testData = std::getenv("ZELK_TEST_DATA");
    const auto root = testData != nullptr ? std::filesystem::path(testData)
                                          : std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
    return root / "feed" / name;
}

inline std::uint16_t freeTcpPort() { return platform::Socket::tcpListener("0").localPort(); }
inline std::uint16_t freeUdpPort()
{
    return platform::Socket::udpReceiver(0, std::chrono::milliseconds(100)).localPort();
}

// One batch as the feed handed it to the engine's mailbox.
struct MailboxEntry {
    BatchKind kind;
    std::uint32_t delay;
    std::size_t records;
};

// The program's own set-up (every hook of the feed and the engine), with the
// batches on their way into the engine's mailbox also written down here.
class MailboxRecorder {
public:
    MailboxRecorder()
    {
        lf_installComponents();
        auto entries = entries_;
        gf_updateTrafficStateHooks([entries](TrafficStateHooks& h) {
            h.deliverBatch = [entries](TrafficBatch& batch, BatchKind kind, std::uint32_t delay, bool discardEarly) {
                {
                    std::scoped_lock guard(entries->mutex);
                    entries->list.push_back({kind, delay, batch.records.size()});
                }
                gf_deliverTrafficBatch(batch, kind, delay, discardEarly);
            };
        });
    }
    std::vector<MailboxEntry> entries() const
    {
        std::scoped_lock guard(entries_->mutex);
        return entries_->list;
    }
    std::vector<std::uint32_t> delaysOf(BatchKind kind) const
    {
        std::vector<std::uint32_t> delays;
        for (const auto& e : entries())
            if (e.kind == kind && e.records > 0) delays.push_back(e.delay);
        return delays;
    }

private:
    struct Entries {
        std::mutex mutex;
        std::vector<MailboxEntry> list;
    };
    std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
};

} // namespace zelk::test

#include "traffic/TrafficMailbox.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/StopRequest.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

using namespace std::chrono_literals;

TrafficRecord recordAt(double time, std::uint32_t hexId = 0x400000)
{
    TrafficRecord r;
    r.time = time;
    r.hexId = hexId;
    return r;
}

TrafficBatch batchOf(std::initializer_list<double> times, std::uint32_t firstHex = 0x400000)
{
    TrafficBatch b;
    std::uint32_t hex = firstHex;
    for (double t : times) b.records.push_back(recordAt(t, hex++));
    return b;
}

TEST(BatchTicks, RecordsAreDueThirtySecondsLaterAroundTheMedian)
{
    TrafficBatch same = batchOf({100.0, 100.0, 100.0});
    gf_stampBatchTicks(same, 500, 30);
    for (const auto& r : same.records) EXPECT_EQ(r.sample.dueTick, 3500);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    TrafficBatch mixed = batchOf({100.0, nan, 101.234, 99.0});
    gf_stampBatchTicks(mixed, 0, 30);
    // Median of the finite times 99, 100, 101.234 is 100.
    EXPECT_EQ(mixed.records[0].sample.dueTick, 3000);
    EXPECT_EQ(mixed.records[1].sample.dueTick, 3000) << "NaN time: no offset";
    EXPECT_EQ(mixed.records[2].sample.dueTick, 3123);
    EXPECT_EQ(mixed.records[3].sample.dueTick, 2900);

    TrafficBatch even = batchOf({10.0, 20.0});
    gf_stampBatchTicks(even, 0, 0);
    EXPECT_EQ(even.records[0].sample.dueTick, -500) << "even count: mean of the middle two";
    EXPECT_EQ(even.records[1].sample.dueTick, 500);

    TrafficBatch noTimes = batchOf({nan, nan});
    gf_stampBatchTicks(noTimes, 7, 12);
    EXPECT_EQ(noTimes.records[0].sample.dueTick, 1207);

    // Offsets saturate at the 32-bit range.
    TrafficBatch distant = batchOf({0.0, 1e12, 2e12});
    gf_stampBatchTicks(distant, 0, 30);
    EXPECT_EQ(distant.records[0].sample.dueTick, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(distant.records[2].sample.dueTick, std::numeric_limits<std::int32_t>::max());

    TrafficBatch huge = batchOf({-1e300, 0.0, 1e300});
    gf_stampBatchTicks(huge, std::numeric_limits<std::int32_t>::max(), 30);
    EXPECT_EQ(huge.records[2].sample.dueTick, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(huge.records[0].sample.dueTick, std::numeric_limits<std::int32_t>::min());
}

// A mailbox whose clock, tick and decoder the test controls; a stall is
// recorded and answered the way the engine answers it.
class Mailbox : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetStopRequest();
    }
    void TearDown() override
    {
        gf_resetStopRequest();
        LoggedTempDirTest::TearDown();
    }

    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::int32_t tick = 1000;
    std::vector<TrafficRecord> decoded;
    std::vector<MailboxStall> stalls;
    std::vector<std::string> notices;
    TrafficMailbox box{[this](const TrafficRecord& r) { decoded.push_back(r); }, [this] { return now; },
                       [this] { return tick; },
                       [this](const MailboxStall& s) {
                           stalls.push_back(s);
                           gf_reportMailboxStall(s);
                       },
                       [this](std::string_view line) { notices.emplace_back(line); }};

    void deliverLive(std::initializer_list<double> times, bool discardEarly = true, std::uint32_t firstHex = 0x400000)
    {
        TrafficBatch b = batchOf(times, firstHex);
        box.deliver(b, BatchKind::Live, kLiveBatchDelaySeconds, discardEarly);
        EXPECT_TRUE(b.records.empty());
    }
};

TEST_F(Mailbox, NewerBatchReplacesAnUnconsumedOneAndIsTakenTwoAtATimeFromTheEnd)
{
    box.enableDelivery();
    deliverLive({1.0, 2.0, 3.0}, true, 0x100000);
    deliverLive({4.0, 4.0, 4.0, 4.0, 5.0}, true, 0x200000);
    EXPECT_EQ(box.pendingRecords(), 5u);
    EXPECT_EQ(box.replacedBatches(), 1u);
    EXPECT_EQ(box.drain(), 2);
    EXPECT_EQ(box.drain(), 2);
    EXPECT_EQ(box.drain(), 1);
    EXPECT_EQ(box.drain(), 0);
    ASSERT_EQ(decoded.size(), 5u);
    for (std::size_t i = 0; i < decoded.size(); ++i) EXPECT_EQ(decoded[i].hexId, 0x200004u - i);
    EXPECT_EQ(decoded[0].sample.dueTick, 1000 + 3000 + 100) << "due 30 s later, around the batch median";
}

// Delivery stops and the run ends with TRAFFIC MAILBOX STALLED at 60 s, not at
// 59.9 s, and the log says once what was dropped.
TEST_F(Mailbox, StallsAtSixtySecondsNotBefore)
{
    box.enableDelivery();
    deliverLive({1.0});
    deliverLive({2.0}); // first replacement starts the timer
    now += 59900ms;
    deliverLive({3.0, 3.0});
    EXPECT_TRUE(stalls.empty());
    EXPECT_TRUE(box.deliveryOn());
    EXPECT_EQ(gf_currentStopRequest(), nullptr);
    now += 100ms;
    deliverLive({4.0, 4.0, 4.0});
    ASSERT_EQ(stalls.size(), 1u);
    EXPECT_EQ(stalls[0].replacedBatches, 3u);
    EXPECT_EQ(stalls[0].pendingRecords, 2u);
    EXPECT_EQ(stalls[0].incomingRecords, 3u);
    EXPECT_FALSE(box.deliveryOn());
    EXPECT_TRUE(box.deliveryStopped());
    EXPECT_EQ(box.pendingRecords(), 0u) << "pending and incoming records are dropped";
    ASSERT_NE(gf_currentStopRequest(), nullptr);
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::TrafficMailboxStalled);
    EXPECT_EQ(gf_currentStopRequest()->delay, 0u);
    EXPECT_NE(log().find("==> Traffic mailbox stalled: no messages consumed for 1 minute; 3 batches replaced, 2 "
                         "pending and 3 incoming messages. Stopping traffic delivery and requesting shutdown."),
              std::string::npos)
        << log();

    // Stopped for the rest of the run: neither enabling nor later batches revive it.
    box.enableDelivery();
    EXPECT_FALSE(box.deliveryOn());
    now += 120s;
    deliverLive({5.0}, false);
    deliverLive({6.0});
    EXPECT_EQ(stalls.size(), 1u) << "reported once";
    EXPECT_EQ(box.pendingRecords(), 0u);
    const std::string text = log();
    EXPECT_EQ(text.find("Traffic mailbox stalled"), text.rfind("Traffic mailbox stalled"));

    box.reset();
    box.enableDelivery();
    EXPECT_TRUE(box.deliveryOn()) << "a new run starts unstopped";
}

TEST_F(Mailbox, TakingRecordsRestartsTheStallWatch)
{
    box.enableDelivery();
    deliverLive({1.0, 1.0, 1.0});
    deliverLive({2.0, 2.0, 2.0});
    now += 50s;
    EXPECT_EQ(box.drain(), 2);
    deliverLive({3.0}); // slot still held one record: the timer starts again here
    now += 59s;
    deliverLive({4.0});
    EXPECT_TRUE(stalls.empty());
    now += 1s;
    deliverLive({5.0});
    EXPECT_EQ(stalls.size(), 1u);

    // An emptied slot resets the watch altogether.
    box.reset();
    stalls.clear();
    box.enableDelivery();
    deliverLive({1.0});
    deliverLive({2.0});
    EXPECT_EQ(box.drain(), 1);
    EXPECT_EQ(box.replacedBatches(), 0u);
    now += 100s;
    deliverLive({3.0}); // slot was empty
    deliverLive({4.0}); // timer starts now
    EXPECT_TRUE(stalls.empty());
}

TEST_F(Mailbox, DeliveryOffDropsLiveBatchesWithoutTouchingTheSlot)
{
    TrafficBatch app = batchOf({1.0});
    box.deliver(app, BatchKind::Live, kLiveBatchDelaySeconds, true);
    EXPECT_TRUE(app.records.empty());
    EXPECT_EQ(box.pendingRecords(), 0u);

    // The web-API batch is stamped before it is dropped; the ids it carried stay.
    TrafficBatch api = batchOf({1.0});
    api.hexIds.insert(0x400000);
    api.batchTime = 1234;
    box.deliver(api, BatchKind::Live, kLiveBatchDelaySeconds, false);
    EXPECT_TRUE(api.records.empty());
    EXPECT_EQ(api.hexIds.size(), 1u);
    EXPECT_EQ(api.batchTime, 1234);
    EXPECT_EQ(box.pendingRecords(), 0u);
    EXPECT_EQ(box.replacedBatches(), 0u);
    EXPECT_TRUE(decoded.empty());
}

TEST_F(Mailbox, HistoryIsDecodedAtOnceUntilTheEngineRuns)
{
    TrafficBatch h = batchOf({1.0, 1.0});
    box.deliver(h, BatchKind::History, 12, true);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].hexId, 0x400000u) << "in batch order";
    EXPECT_EQ(decoded[0].sample.dueTick, 1000 + 1200);

    // The fifth history batch has the live delay but stays history.
    TrafficBatch fifth = batchOf({1.0});
    box.deliver(fifth, BatchKind::History, 30, true);
    EXPECT_EQ(decoded.size(), 3u);
    EXPECT_EQ(box.pendingRecords(), 0u);

    box.setEngineRunning(true);
    TrafficBatch late = batchOf({1.0, 2.0});
    box.deliver(late, BatchKind::History, 18, true);
    EXPECT_TRUE(late.records.empty());
    EXPECT_EQ(decoded.size(), 3u);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "History batch of 2 records arrived after the traffic engine started; dropped");
}

// Any sender may keep sending history once the engine runs: the first late
// batch is noticed, later ones are counted into one notice a minute and one at
// the end of the run.
TEST_F(Mailbox, LateHistoryNoticesAreCounted)
{
    box.setEngineRunning(true);
    for (int i = 0; i < 1000; ++i) {
        TrafficBatch late = batchOf({1.0});
        box.deliver(late, BatchKind::History, 6, true);
        now += 10ms;
    }
    ASSERT_EQ(notices.size(), 1u);
    now += 50s;
    TrafficBatch late = batchOf({1.0, 2.0});
    box.deliver(late, BatchKind::History, 6, true);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1], "1000 more history batches arrived after the traffic engine started; dropped");
    for (int i = 0; i < 3; ++i) {
        TrafficBatch more = batchOf({1.0});
        box.deliver(more, BatchKind::History, 6, true);
    }
    box.setEngineRunning(false);
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[2], "3 more history batches arrived after the traffic engine started; dropped");
    EXPECT_TRUE(decoded.empty());

    // The next run notices its own first late batch again.
    box.setEngineRunning(true);
    TrafficBatch next = batchOf({1.0});
    box.deliver(next, BatchKind::History, 6, true);
    EXPECT_EQ(notices.size(), 4u);
}

// A reader thread delivering while the worker drains: every record taken is one
// that was delivered, none twice, and the worker never blocks the reader for long.
TEST(MailboxThreads, ReaderAndWorkerRunTogether)
{
    std::atomic<std::uint64_t> taken{0};
    std::vector<std::uint32_t> seen;
    std::mutex seenMutex;
    std::atomic<int> stalls{0};
    TrafficMailbox box(
        [&](const TrafficRecord& r) {
            taken.fetch_add(1);
            std::lock_guard lock(seenMutex);
            seen.push_back(r.hexId);
        },
        [] { return std::chrono::steady_clock::time_point{}; }, [] { return 0; },
        [&](const MailboxStall&) { stalls.fetch_add(1); }, [](std::string_view) {});
    box.enableDelivery();

    constexpr int kBatches = 2000;
    constexpr int kPerBatch = 5;
    std::atomic<bool> readerDone{false};
    std::thread reader([&] {
        for (int b = 0; b < kBatches; ++b) {
            TrafficBatch batch;
            for (int i = 0; i < kPerBatch; ++i) batch.records.push_back(recordAt(1.0, 0x100000u + b * kPerBatch + i));
            box.deliver(batch, BatchKind::Live, kLiveBatchDelaySeconds, true);
        }
        readerDone = true;
    });
    std::thread worker([&] {
        // An empty slot gives the processor up: a worker spinning on the lock
        // could otherwise keep the reader out for long under a sanitizer.
        while (!readerDone.load() || box.pendingRecords() > 0)
            if (box.drain() == 0) std::this_thread::yield();
    });
    reader.join();
    worker.join();

    EXPECT_EQ(stalls.load(), 0) << "the fixed clock never reaches 60 s";
    EXPECT_EQ(box.pendingRecords(), 0u);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "no record decoded twice";
    EXPECT_LE(taken.load(), static_cast<std::uint64_t>(kBatches * kPerBatch));
    EXPECT_GE(taken.load(), static_cast<std::uint64_t>(kPerBatch)) << "at least the last batch arrives";
}

} // namespace
} // namespace zelk

#include "traffic/TrafficMailbox.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/StopRequest.h"

namespace zelk {
namespace {

constexpr std::int64_t kI64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kI64Min = std::numeric_limits<std::int64_t>::min();

std::int32_t lf_clampToI32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
}

std::int64_t lf_saturatedOffset(double x)
{
    if (!std::isfinite(x)) return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (x >= 9223372036854775808.0) return kI64Max;
    if (x < -9223372036854775808.0) return kI64Min;
    return std::llround(x);
}

std::int64_t lf_saturatedAdd(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? kI64Max : kI64Min;
    return sum;
}

std::string lf_lateHistorySummary(std::uint64_t batches)
{
    return fmt::format("{} more history batches arrived after the traffic engine started; dropped", batches);
}

} // namespace

void gf_stampBatchTicks(TrafficBatch& batch, std::int32_t tick, std::int32_t delaySeconds)
{
    if (batch.records.empty()) return;
    const std::int64_t base = static_cast<std::int64_t>(delaySeconds) * 100 + tick;
    std::vector<double> times;
    times.reserve(batch.records.size());
    for (const TrafficRecord& r : batch.records)
        if (std::isfinite(r.time)) times.push_back(r.time);
    if (times.empty()) {
        for (TrafficRecord& r : batch.records) r.sample.dueTick = lf_clampToI32(base);
        return;
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2.0;
    for (TrafficRecord& r : batch.records) {
        const std::int64_t offset = lf_saturatedOffset((r.time - median) * 100.0);
        r.sample.dueTick = lf_clampToI32(lf_saturatedAdd(base, offset));
    }
}

void gf_reportMailboxStall(const MailboxStall& stall)
{
    gf_requestStop(StopReason::TrafficMailboxStalled, 0);
    gf_writeLogNotice(fmt::format(
        "Traffic mailbox stalled: no messages consumed for 1 minute; {} batches replaced, {} pending and {} "
        "incoming messages. Stopping traffic delivery and requesting shutdown.",
        stall.replacedBatches, stall.pendingRecords, stall.incomingRecords));
}

TrafficMailbox::TrafficMailbox(Decoder decoder, SteadyClock clock, TickSource tick, StallHandler onStall,
                               Notice notice)
    : decoder_(std::move(decoder)), clock_(std::move(clock)), tick_(std::move(tick)), onStall_(std::move(onStall)),
      notice_(std::move(notice))
{
}

void TrafficMailbox::resetStallWatchLocked()
{
    stallTimerRunning_ = false;
    replacedBatches_ = 0;
    stallReported_ = false;
}

void TrafficMailbox::deliver(TrafficBatch& batch, BatchKind kind, std::uint32_t delaySeconds, bool discardEarly)
{
    if (batch.records.empty()) return;

    if (kind == BatchKind::History) {
        std::lock_guard history(historyMutex_);
        if (engineRunning_) {
            // Decoding here would touch the engine's tables while the worker runs its passes.
            noticeLateHistoryLocked(batch.records.size());
            batch.records.clear();
            return;
        }
        gf_stampBatchTicks(batch, tick_(), static_cast<std::int32_t>(delaySeconds));
        for (const TrafficRecord& record : batch.records) decoder_(record);
        batch.records.clear();
        return;
    }

    if (!deliveryOn_.load() && discardEarly) {
        batch.records.clear();
        return;
    }
    gf_stampBatchTicks(batch, tick_(), static_cast<std::int32_t>(kLiveBatchDelaySeconds));

    std::optional<MailboxStall> stall;
    if (deliveryOn_.load()) {
        std::lock_guard lock(mutex_);
        if (deliveryOn_.load()) {
            if (!slot_.empty()) {
                const auto now = clock_();
                if (!stallTimerRunning_) {
                    stallTimerRunning_ = true;
                    stallTimerStart_ = now;
                }
                ++replacedBatches_;
                if (!stallReported_ && now - stallTimerStart_ >= kMailboxStallTime) {
                    stall = MailboxStall{replacedBatches_, slot_.size(), batch.records.size()};
                    stallReported_ = true;
                }
            } else {
                resetStallWatchLocked();
            }
            if (stall) {
                deliveryStopped_ = true;
                deliveryOn_.store(false);
                slot_.clear();
            } else {
                slot_.swap(batch.records);
            }
        }
    }
    batch.records.clear();
    if (stall) onStall_(*stall);
}

int TrafficMailbox::drain()
{
    int taken = 0;
    while (taken < kRecordsPerPass) {
        TrafficRecord record;
        {
            std::lock_guard lock(mutex_);
            if (slot_.empty()) break;
            record = std::move(slot_.back());
            slot_.pop_back();
            resetStallWatchLocked();
        }
        ++taken;
        decoder_(record);
    }
    return taken;
}

void TrafficMailbox::enableDelivery()
{
    std::lock_guard lock(mutex_);
    resetStallWatchLocked();
    deliveryOn_.store(!deliveryStopped_);
}

void TrafficMailbox::disableDelivery()
{
    std::lock_guard lock(mutex_);
    resetStallWatchLocked();
    deliveryOn_.store(false);
}

void TrafficMailbox::noticeLateHistoryLocked(std::size_t records)
{
    const auto now = clock_();
    if (!lateHistoryNoticed_) {
        lateHistoryNoticed_ = true;
        lateHistoryNoticeAt_ = now;
        notice_(fmt::format("History batch of {} records arrived after the traffic engine started; dropped", records));
        return;
    }
    ++lateHistoryBatches_;
    if (now - lateHistoryNoticeAt_ < kLateHistoryNoticeInterval) return;
    notice_(lf_lateHistorySummary(lateHistoryBatches_));
    lateHistoryBatches_ = 0;
    lateHistoryNoticeAt_ = now;
}

void TrafficMailbox::setEngineRunning(bool running)
{
    std::lock_guard history(historyMutex_);
    engineRunning_ = running;
    if (running) return;
    // The run's count is not held back past its end.
    if (lateHistoryBatches_ > 0) notice_(lf_lateHistorySummary(lateHistoryBatches_));
    lateHistoryNoticed_ = false;
    lateHistoryBatches_ = 0;
}

void TrafficMailbox::reset()
{
    {
        std::lock_guard lock(mutex_);
        slot_.clear();
        slot_.shrink_to_fit();
        resetStallWatchLocked();
        deliveryStopped_ = false;
        deliveryOn_.store(false);
    }
    setEngineRunning(false);
}

bool TrafficMailbox::deliveryStopped() const
{
    std::lock_guard lock(mutex_);
    return deliveryStopped_;
}

std::size_t TrafficMailbox::pendingRecords() const
{
    std::lock_guard lock(mutex_);
    return slot_.size();
}

std::uint64_t TrafficMailbox::replacedBatches() const
{
    std::lock_guard lock(mutex_);
    return replacedBatches_;
}

} // namespace zelk

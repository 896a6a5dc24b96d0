#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "traffic/TrafficRecord.h"

namespace zelk {

// Live traffic is shown this long after it was received, so that the engine
// always holds the next sample of each aircraft before it needs it.
inline constexpr std::uint32_t kLiveBatchDelaySeconds = 30;
// Batches replaced this long without one record being taken mean the engine no
// longer runs.
inline constexpr std::chrono::seconds kMailboxStallTime{60};
// Late history batches after the first are counted and noticed at most this often.
inline constexpr std::chrono::seconds kLateHistoryNoticeInterval{60};
// Records the engine takes from the slot per pass.
inline constexpr int kRecordsPerPass = 2;

// A batch says what it is: history batches carry delays of 6 x k seconds, and
// the fifth of them (30 s) must not pass for a live one.
enum class BatchKind { Live, History };

// Sets every record's due tick: tick + 100 x delay, shifted by the record's time
// minus the median time of the batch (in centiseconds), saturated to 32 bits.
void gf_stampBatchTicks(TrafficBatch& batch, std::int32_t tick, std::int32_t delaySeconds);

struct MailboxStall {
    std::uint64_t replacedBatches = 0;
    std::size_t pendingRecords = 0;
    std::size_t incomingRecords = 0;
};

// The hand-over from the feed reader to the engine: one slot holding the newest
// undelivered live batch. A newer batch replaces what is left of the previous
// one; the engine takes records from the end of the slot.
class TrafficMailbox {
public:
    using Decoder = std::function<void(const TrafficRecord&)>;
    using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;
    using TickSource = std::function<std::int32_t()>;
    using StallHandler = std::function<void(const MailboxStall&)>;
    using Notice = std::function<void(std::string_view)>;

    TrafficMailbox(Decoder decoder, SteadyClock clock, TickSource tick, StallHandler onStall, Notice notice);

    // The feed reader's one entry. On return the batch holds no records (its id
    // sets and time are left alone).
    //  - History: decoded at once on the calling thread, but only before the engine
    //    runs its passes; later ones are dropped with a notice (the first of a
    //    run, then one count a minute at most, since any peer may send them).
    //  - Live: dropped unstamped while delivery is off and discardEarly is set;
    //    otherwise stamped and, while delivery is on, swapped into the slot.
    void deliver(TrafficBatch& batch, BatchKind kind, std::uint32_t delaySeconds, bool discardEarly);

    // One engine-pass step: takes up to two records from the end of the slot and
    // decodes them outside the lock. Returns how many were taken.
    int drain();

    // Delivery on (unless stopped by a stall), with the stall watch reset.
    void enableDelivery();
    // Delivery off, with the stall watch reset.
    void disableDelivery();
    // Marks whether the engine runs its passes; history decoding is refused from
    // then on. Waits for a history batch being decoded to finish.
    void setEngineRunning(bool running);
    // Back to the state of a new run: slot empty, delivery off, not stopped.
    void reset();

    bool deliveryOn() const noexcept { return deliveryOn_.load(); }
    bool deliveryStopped() const;
    std::size_t pendingRecords() const;
    std::uint64_t replacedBatches() const;

private:
    void resetStallWatchLocked();
    // Under the history lock: a history batch that came too late.
    void noticeLateHistoryLocked(std::size_t records);

    Decoder decoder_;
    SteadyClock clock_;
    TickSource tick_;
    StallHandler onStall_;
    Notice notice_;

    mutable std::mutex mutex_;
    std::vector<TrafficRecord> slot_;
    std::atomic<bool> deliveryOn_{false};
    bool deliveryStopped_ = false;
    bool stallTimerRunning_ = false;
    std::chrono::steady_clock::time_point stallTimerStart_{};
    std::uint64_t replacedBatches_ = 0;
    bool stallReported_ = false;

    std::mutex historyMutex_;
    bool engineRunning_ = false;
    std::uint64_t lateHistoryBatches_ = 0;    // dropped since the last notice
    bool lateHistoryNoticed_ = false;         // this run's first notice is written
    std::chrono::steady_clock::time_point lateHistoryNoticeAt_{};
};

// The engine's answer to a stall: the run stops with TRAFFIC MAILBOX STALLED and
// the log says how much was dropped.
void gf_reportMailboxStall(const MailboxStall& stall);

// --- The engine's mailbox (decodes with decodeMessage, stops the run on a stall) ---

void gf_deliverTrafficBatch(TrafficBatch& batch, BatchKind kind, std::uint32_t delaySeconds, bool discardEarly);
int lf_drainTrafficMailbox();
void gf_enableTrafficDelivery();
void gf_disableTrafficDelivery();
void gf_setTrafficEngineRunning(bool running);
void gf_resetTrafficMailbox();

} // namespace zelk

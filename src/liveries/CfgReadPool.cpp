#include "liveries/CfgReadPool.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace zelk {

namespace {

// More readers than this only queue up for the disk.
constexpr std::size_t kMaxReaderThreads = 7;
// Unless told otherwise a scan leaves two of the machine's threads to the rest
// of the system and takes at most this many: reading the files is most of the
// work now that a join costs little (on 8 cores 6 threads took 37 ms where 4
// took 49 ms; 8 were slower than 6 again, the walk then waiting for the disk
// cache's locks).
constexpr std::size_t kMaxDefaultThreads = 6;

} // namespace

std::size_t gf_liveryReaderCount(std::size_t threads)
{
    if (threads == 0) {
        const std::size_t machine = std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
        threads = std::min(std::max<std::size_t>(machine > 2 ? machine - 2 : 0, std::min<std::size_t>(machine, 2)),
                           kMaxDefaultThreads);
    }
    return std::min(threads - 1, kMaxReaderThreads);
}

CfgReadPool::CfgReadPool(std::size_t readers, const std::set<std::string>& dontUseTitles)
    : dontUseTitles_(dontUseTitles)
{
    threads_.reserve(readers);
    for (std::size_t i = 0; i < readers; ++i) {
        try {
            threads_.emplace_back([this] { readLoop(); });
        } catch (const std::system_error&) {
            // The scan's own thread reads whatever the readers it has leave.
            break;
        }
    }
}

CfgReadPool::~CfgReadPool()
{
    {
        std::scoped_lock guard(lock_);
        stopping_ = true;
    }
    workQueued_.notify_all();
    if (walker_.joinable()) walker_.join();
    for (std::thread& thread : threads_) thread.join();
}

void CfgReadPool::walk(const std::function<void()>& body)
{
    const auto run = [this, body] {
        std::exception_ptr failure;
        try {
            body();
        } catch (...) {
            failure = std::current_exception();
        }
        endOfWalk(failure);
    };
    if (!threads_.empty()) {
        try {
            walker_ = std::thread(run);
            return;
        } catch (const std::system_error&) {
            // Walked on the calling thread, before any file is joined.
        }
    }
    run();
}

bool CfgReadPool::stopping()
{
    std::scoped_lock guard(lock_);
    return stopping_;
}

void CfgReadPool::addFile(std::filesystem::path file, std::uint32_t priority, bool ivao)
{
    bool wakeJoiner = false;
    {
        std::scoped_lock guard(lock_);
        Slot& slot = slots_.emplace_back();
        slot.entry.read.emplace();
        AircraftCfgRead& read = *slot.entry.read;
        read.file = std::move(file);
        read.priority = priority;
        read.ivao = ivao;
        slot.state = State::Queued;
        queued_.push_back(&slot);
        wakeJoiner = std::exchange(awaitsEntries_, false);
    }
    workQueued_.notify_one();
    if (wakeJoiner) entryReady_.notify_one();
}

void CfgReadPool::addLogLine(std::string text)
{
    bool wakeJoiner = false;
    {
        std::scoped_lock guard(lock_);
        slots_.emplace_back().entry.logLine = std::move(text);
        wakeJoiner = std::exchange(awaitsEntries_, false);
    }
    if (wakeJoiner) entryReady_.notify_one();
}

void CfgReadPool::endOfWalk(std::exception_ptr failure)
{
    {
        std::scoped_lock guard(lock_);
        walkEnded_ = true;
        walkFailure_ = std::move(failure);
    }
    workQueued_.notify_all();
    entryReady_.notify_one();
}

CfgReadPool::Entry* CfgReadPool::next()
{
    std::unique_lock guard(lock_);
    while (joined_ == slots_.size() && !walkEnded_) {
        awaitsEntries_ = true;
        entryReady_.wait(guard);
    }
    awaitsEntries_ = false;
    if (joined_ == slots_.size()) {
        if (walkFailure_) std::rethrow_exception(std::exchange(walkFailure_, nullptr));
        return nullptr;
    }
    Slot& slot = slots_[joined_++];
    if (slot.state == State::Queued) {
        // Every file before it has been taken, so it is the first in the queue.
        queued_.pop_front();
        slot.state = State::Reading;
        guard.unlock();
        read(slot);
        guard.lock();
        slot.state = State::Read;
    }
    awaited_ = &slot;
    entryReady_.wait(guard, [&slot] { return slot.state == State::Read; });
    awaited_ = nullptr;
    return &slot.entry;
}

void CfgReadPool::readLoop()
{
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock guard(lock_);
            workQueued_.wait(guard, [this] { return stopping_ || walkEnded_ || !queued_.empty(); });
            if (stopping_ || queued_.empty()) return;
            slot = queued_.front();
            queued_.pop_front();
            slot->state = State::Reading;
        }
        read(*slot);
        bool wakeJoiner = false;
        {
            std::scoped_lock guard(lock_);
            slot->state = State::Read;
            wakeJoiner = awaited_ == slot;
        }
        if (wakeJoiner) entryReady_.notify_one();
    }
}

void CfgReadPool::read(Slot& slot)
{
    AircraftCfgRead& read = *slot.entry.read;
    try {
        lf_readAircraftCfg(read, dontUseTitles_);
    } catch (...) {
        // Whatever escapes the reading (memory running out) is thrown on at the join.
        read.failure = std::current_exception();
    }
}

} // namespace zelk

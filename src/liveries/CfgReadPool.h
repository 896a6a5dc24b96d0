#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "liveries/AircraftCfg.h"

namespace zelk {

// Reads the aircraft.cfg files of a walk on a few threads while the walk goes
// on, and hands them back in the walk's order: joined one by one they give
// exactly what reading them one by one gives. The walk's own log lines keep
// their places among the files. The walk and the join run on the scan's
// thread; the readers touch nothing of the scan but the don't-use titles,
// which nobody changes meanwhile.
class CfgReadPool {
public:
    // One entry of the walk: a file and its reading, or a log line of the walk.
    struct Entry {
        std::optional<AircraftCfgRead> read;
        std::string logLine;
    };

    // `readers` threads besides the scan's own (0: the scan's thread reads
    // every file itself, as it joins them).
    CfgReadPool(std::size_t readers, const std::set<std::string>& dontUseTitles);
    // Stops the readers after the file each is reading and waits for them.
    ~CfgReadPool();
    CfgReadPool(const CfgReadPool&) = delete;
    CfgReadPool& operator=(const CfgReadPool&) = delete;

    // Runs the walk, which adds the entries: on a thread of its own when the
    // pool has readers, so that the scan's thread joins files meanwhile, else
    // on the calling thread. What the walk throws is thrown by next() after
    // the entries it added.
    void walk(const std::function<void()>& body);
    void addFile(std::filesystem::path file, std::uint32_t priority, bool ivao);
    void addLogLine(std::string text);
    // True once the pool is being taken down: the walk should end.
    bool stopping();

    // The next entry in the walk's order with its file read (by the scan's
    // thread itself when no reader has taken it yet); nullptr after the last.
    Entry* next();

    // Readers that could be started (fewer than asked when the system refused a thread).
    std::size_t readerCount() const noexcept { return threads_.size(); }

private:
    enum class State : std::uint8_t { Queued, Reading, Read };
    struct Slot {
        Entry entry;
        State state = State::Read;
    };

    void readLoop();
    void read(Slot& slot);
    void endOfWalk(std::exception_ptr failure);

    const std::set<std::string>& dontUseTitles_;
    std::mutex lock_;
    // Each side is woken only for what it waits for: a reader for a queued file
    // or the end, the scan's thread for the entry it waits for. A wake-up of
    // every thread after every file cost more than reading the files.
    std::condition_variable workQueued_;
    std::condition_variable entryReady_;
    const Slot* awaited_ = nullptr; // the slot the scan's thread waits to be read
    bool awaitsEntries_ = false;    // the scan's thread waits for the walk to add one
    std::deque<Slot> slots_;    // only appended to while the pool lives: a slot stays where it is
    std::deque<Slot*> queued_;  // files no one reads yet, in the walk's order
    std::size_t joined_ = 0;    // slots handed out by next()
    bool walkEnded_ = false;
    std::exception_ptr walkFailure_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
    std::thread walker_;
};

// Runs work(0) to work(count - 1) at once, one on the calling thread and the
// others on threads of their own (or on the calling thread when the system
// refuses a thread), and returns when all have ended. The work must not throw.
template <typename Work>
void gf_runAtOnce(std::size_t count, Work work)
{
    std::vector<std::thread> threads;
    threads.reserve(count);
    std::size_t started = 1;
    for (; started < count; ++started) {
        try {
            threads.emplace_back(work, started);
        } catch (const std::system_error&) {
            break;
        }
    }
    for (std::size_t i = started; i < count; ++i) work(i);
    if (count > 0) work(0);
    for (std::thread& thread : threads) thread.join();
}

// Reader threads for a scan that may use `threads` in all (0: a share of the
// machine), besides the scan's own thread (and the walk's, when there are readers).
std::size_t gf_liveryReaderCount(std::size_t threads);

} // namespace zelk

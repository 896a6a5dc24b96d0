#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "liveries/AircraftCfg.h"

namespace zelk {

// Walks a folder tree and reads its aircraft.cfg files on a few threads, and
// hands the files back in the walk's order: joined one by one they give
// exactly what a walk on one thread, reading them one by one, gives. The
// listing of each folder is work like the reading of a file: any thread takes
// the earliest piece of work in the walk's order, so that the files the join
// waits for come first. The walk's own log lines keep their places among the
// files. The join runs on the scan's thread; the readers touch nothing of the
// scan but the don't-use titles, which nobody changes meanwhile.
class CfgReadPool {
public:
    // One entry of the walk: a file and its reading, or a log line of the walk.
    struct Entry {
        std::optional<AircraftCfgRead> read;
        std::string logLine;
    };

    struct Node;
    // What the listing of one folder finds, in the walk's order.
    class Listing {
    public:
        void addFile(std::filesystem::path file, std::uint32_t priority, bool ivao);
        void addFolder(std::filesystem::path folder);
        void addLogLine(std::string text);

    private:
        friend class CfgReadPool;
        std::vector<std::unique_ptr<Node>> nodes_;
    };
    // Lists one folder into the listing; may run on any of the pool's threads.
    using ListFolder = std::function<void(const std::filesystem::path& folder, Listing& listing)>;

    // `readers` threads besides the scan's own (0: the scan's thread lists
    // every folder and reads every file itself, as it joins them).
    CfgReadPool(std::size_t readers, const std::set<std::string>& dontUseTitles);
    // Stops the readers after the piece of work each is doing and waits for them.
    ~CfgReadPool();
    CfgReadPool(const CfgReadPool&) = delete;
    CfgReadPool& operator=(const CfgReadPool&) = delete;

    // Starts the walk at `root`, which is listed as a folder; called once.
    void walk(std::filesystem::path root, ListFolder list);

    // The next entry in the walk's order, its file read (by the scan's thread
    // itself when no reader has taken it yet); nullptr after the last. What a
    // listing threw is thrown after the entries it found, and ends the walk.
    Entry* next();

    // Readers that could be started (fewer than asked when the system refused a thread).
    std::size_t readerCount() const noexcept { return threads_.size(); }

    enum class State : std::uint8_t { Queued, Working, Done };
    enum class Kind : std::uint8_t { File, Folder, LogLine };
    // One entry of the walk in its tree: a folder holds its listing's entries.
    struct Node {
        Kind kind = Kind::LogLine;
        State state = State::Done;
        Entry entry;                                  // File, LogLine
        std::filesystem::path folder;                 // Folder
        std::vector<std::unique_ptr<Node>> children;  // Folder, once listed
        std::exception_ptr failure;                   // Folder: what its listing threw
        std::vector<std::uint32_t> place;             // child numbers from the root: the walk's order
    };

private:
    struct EarlierInWalk {
        bool operator()(const Node* a, const Node* b) const { return a->place < b->place; }
    };
    struct Frame {
        Node* folder;
        std::size_t next;
    };

    void workLoop();
    // Does a taken node's work without the lock, then publishes it with the lock held.
    void work(Node& node, std::unique_lock<std::mutex>& guard);
    // The node done, by the calling thread when nobody has taken it yet.
    void await(Node& node, std::unique_lock<std::mutex>& guard);

    const std::set<std::string>& dontUseTitles_;
    ListFolder list_;
    std::mutex lock_;
    // Each side is woken only for what it waits for: a reader for queued
    // work or the end, the scan's thread for the node it waits for.
    std::condition_variable workQueued_;
    std::condition_variable nodeDone_;
    const Node* awaited_ = nullptr;
    std::set<Node*, EarlierInWalk> queued_; // work no one does yet, earliest in the walk first
    std::unique_ptr<Node> root_;
    std::vector<Frame> joinPath_;     // the join's place: the folders it is in, and the next entry of each
    std::size_t foldersToList_ = 0;   // folders queued or being listed: while any is, more work may come
    bool walking_ = false;
    bool stopping_ = false;
    std::exception_ptr poolFailure_; // what ended a reader: thrown by the join
    std::vector<std::thread> threads_;
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
// machine), besides the scan's own thread.
std::size_t gf_liveryReaderCount(std::size_t threads);

} // namespace zelk

#include "liveries/CfgReadPool.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace zelk {

namespace {

// More readers than this only queue up for the disk.
constexpr std::size_t kMaxReaderThreads = 7;
// Unless told otherwise a scan takes a thread per core, at most this many:
// listing the folders and reading the files is most of its work, and any
// thread takes any of it (on 8 cores 8 threads took 33 ms, 6 took 37 ms and
// 4 took 49 ms for 50,000 liveries).
constexpr std::size_t kMaxDefaultThreads = 8;

// A reader's failure ends the walk: thrown once, then the walk has no entries left.
template <typename Path>
[[noreturn]] void lf_throwPoolFailure(std::exception_ptr& failure, Path& joinPath)
{
    joinPath.clear();
    std::rethrow_exception(std::exchange(failure, nullptr));
}

} // namespace

std::size_t gf_liveryReaderCount(std::size_t threads)
{
    if (threads == 0) {
        const std::size_t machine = std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
        threads = std::min(machine, kMaxDefaultThreads);
    }
    return std::min(threads - 1, kMaxReaderThreads);
}

CfgReadPool::CfgReadPool(std::size_t readers, const std::set<std::string>& dontUseTitles)
    : dontUseTitles_(dontUseTitles)
{
    threads_.reserve(readers);
    for (std::size_t i = 0; i < readers; ++i) {
        try {
            threads_.emplace_back([this] { workLoop(); });
        } catch (const std::system_error&) {
            // The scan's own thread does whatever the readers it has leave.
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
    for (std::thread& thread : threads_) thread.join();
}

void CfgReadPool::Listing::addFile(std::filesystem::path file, std::uint32_t priority, bool ivao)
{
    auto node = std::make_unique<Node>();
    node->kind = Kind::File;
    node->state = State::Queued;
    AircraftCfgRead& read = node->entry.read.emplace();
    read.file = std::move(file);
    read.priority = priority;
    read.ivao = ivao;
    nodes_.push_back(std::move(node));
}

void CfgReadPool::Listing::addFolder(std::filesystem::path folder)
{
    auto node = std::make_unique<Node>();
    node->kind = Kind::Folder;
    node->state = State::Queued;
    node->folder = std::move(folder);
    nodes_.push_back(std::move(node));
}

void CfgReadPool::Listing::addLogLine(std::string text)
{
    auto node = std::make_unique<Node>();
    node->entry.logLine = std::move(text);
    nodes_.push_back(std::move(node));
}

void CfgReadPool::walk(std::filesystem::path root, ListFolder list)
{
    std::unique_lock guard(lock_);
    list_ = std::move(list);
    root_ = std::make_unique<Node>();
    root_->kind = Kind::Folder;
    root_->state = State::Queued;
    root_->folder = std::move(root);
    joinPath_.push_back({root_.get(), 0});
    foldersToList_ = 1;
    walking_ = true;
    if (threads_.empty()) return;
    queued_.insert(root_.get());
    guard.unlock();
    workQueued_.notify_one();
}

void CfgReadPool::work(Node& node, std::unique_lock<std::mutex>& guard)
{
    guard.unlock();
    Listing listing;
    if (node.kind == Kind::File) {
        AircraftCfgRead& read = *node.entry.read;
        try {
            lf_readAircraftCfg(read, dontUseTitles_);
        } catch (...) {
            // Whatever escapes the reading (memory running out) is thrown on at the join.
            read.failure = std::current_exception();
        }
    } else {
        try {
            list_(node.folder, listing);
        } catch (...) {
            node.failure = std::current_exception();
        }
    }
    guard.lock();
    node.state = State::Done;
    if (node.kind == Kind::Folder) {
        std::size_t queuedNow = 0;
        node.children = std::move(listing.nodes_);
        for (std::uint32_t i = 0; i < node.children.size(); ++i) {
            Node& child = *node.children[i];
            child.place.reserve(node.place.size() + 1);
            child.place = node.place;
            child.place.push_back(i);
            if (child.state != State::Queued) continue;
            if (child.kind == Kind::Folder) ++foldersToList_;
            if (!threads_.empty()) {
                queued_.insert(&child);
                ++queuedNow;
            }
        }
        --foldersToList_;
        if (queuedNow > 1 || foldersToList_ == 0) workQueued_.notify_all();
        else if (queuedNow == 1) workQueued_.notify_one();
    }
    if (awaited_ == &node) nodeDone_.notify_one();
}

void CfgReadPool::await(Node& node, std::unique_lock<std::mutex>& guard)
{
    if (node.state == State::Queued) {
        queued_.erase(&node);
        node.state = State::Working;
        work(node, guard);
        return;
    }
    // A reader has it in hand: rather than sleep until it is done, the scan's
    // thread does the next piece of work meanwhile. Each is short, and a
    // thread that sleeps and is woken for every file costs more than the file.
    while (node.state != State::Done && !poolFailure_ && !queued_.empty()) {
        Node& other = **queued_.begin();
        queued_.erase(queued_.begin());
        other.state = State::Working;
        work(other, guard);
    }
    awaited_ = &node;
    nodeDone_.wait(guard, [this, &node] { return node.state == State::Done || poolFailure_; });
    awaited_ = nullptr;
    if (node.state != State::Done) lf_throwPoolFailure(poolFailure_, joinPath_);
}

CfgReadPool::Entry* CfgReadPool::next()
{
    std::unique_lock guard(lock_);
    if (poolFailure_) lf_throwPoolFailure(poolFailure_, joinPath_);
    while (!joinPath_.empty()) {
        Frame& frame = joinPath_.back();
        Node& folder = *frame.folder;
        if (folder.state != State::Done) await(folder, guard);
        if (frame.next < folder.children.size()) {
            Node& child = *folder.children[frame.next++];
            if (child.kind == Kind::Folder) {
                joinPath_.push_back({&child, 0});
                continue;
            }
            if (child.state != State::Done) await(child, guard);
            return &child.entry;
        }
        if (folder.failure) {
            // The walk ends where its listing failed, as a walk on one thread would.
            joinPath_.clear();
            std::rethrow_exception(std::exchange(folder.failure, nullptr));
        }
        joinPath_.pop_back();
    }
    return nullptr;
}

void CfgReadPool::workLoop()
{
    std::unique_lock guard(lock_);
    try {
        for (;;) {
            workQueued_.wait(guard,
                             [this] { return stopping_ || !queued_.empty() || (walking_ && foldersToList_ == 0); });
            if (stopping_ || queued_.empty()) return;
            Node& node = **queued_.begin();
            queued_.erase(queued_.begin());
            node.state = State::Working;
            work(node, guard);
        }
    } catch (...) {
        // Only memory running out while the lock is held gets here: the node
        // in hand would never be done, so the walk ends with the failure.
        if (!guard.owns_lock()) guard.lock();
        if (!poolFailure_) poolFailure_ = std::current_exception();
        stopping_ = true;
        guard.unlock();
        workQueued_.notify_all();
        nodeDone_.notify_one();
    }
}

} // namespace zelk

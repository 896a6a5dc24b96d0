#include <mutex>
#include <vector>

#include "traffic/SimObjectResultQueue.h"
#include "traffic/SimObjectResults.h"

namespace zelk {
namespace {

struct ResultQueue {
    std::mutex mutex;
    std::vector<SimObjectResult> incoming;
};

ResultQueue& lf_queue()
{
    static ResultQueue queue;
    return queue;
}

} // namespace

void gf_postSimObjectResult(const SimObjectResult& result)
{
    auto& q = lf_queue();
    std::lock_guard lock(q.mutex);
    q.incoming.push_back(result);
}

void gf_takeSimObjectResults(std::vector<SimObjectResult>& processing)
{
    auto& q = lf_queue();
    std::lock_guard lock(q.mutex);
    q.incoming.swap(processing);
}

void gf_clearSimObjectResults(std::size_t reserve)
{
    auto& q = lf_queue();
    std::lock_guard lock(q.mutex);
    q.incoming.clear();
    q.incoming.reserve(reserve);
}

} // namespace zelk

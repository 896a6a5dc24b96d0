#include "simlink/SimObjectResultQueue.h"

#include <mutex>

namespace zelk {
namespace {

struct IncomingResults {
    std::mutex mutex;
    std::vector<SimObjectResult> incoming;
};

IncomingResults& lf_incoming()
{
    static IncomingResults results;
    return results;
}

} // namespace

void gf_postSimObjectResult(const SimObjectResult& result)
{
    auto& lists = lf_incoming();
    std::lock_guard lock(lists.mutex);
    lists.incoming.push_back(result);
}

void gf_takeSimObjectResults(std::vector<SimObjectResult>& processing)
{
    auto& lists = lf_incoming();
    std::lock_guard lock(lists.mutex);
    lists.incoming.swap(processing);
}

void gf_clearSimObjectResults(std::size_t reserve)
{
    auto& lists = lf_incoming();
    std::lock_guard lock(lists.mutex);
    lists.incoming.clear();
    lists.incoming.reserve(reserve);
}

} // namespace zelk

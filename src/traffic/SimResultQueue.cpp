#include <mutex>
#include <vector>

#include "traffic/SimObjectResultQueue.h"
#include "traffic/SimObjectResults.h"
#include "traffic/TrafficState.h"

namespace zelk {

void gf_postSimObjectResult(const SimObjectResult& result)
{
    auto& lists = gf_simResultLists();
    std::lock_guard lock(lists.mutex);
    lists.incoming.push_back(result);
}

void gf_takeSimObjectResults(std::vector<SimObjectResult>& processing)
{
    auto& lists = gf_simResultLists();
    std::lock_guard lock(lists.mutex);
    lists.incoming.swap(processing);
}

void gf_clearSimObjectResults(std::size_t reserve)
{
    auto& lists = gf_simResultLists();
    std::lock_guard lock(lists.mutex);
    lists.incoming.clear();
    lists.incoming.reserve(reserve);
}

} // namespace zelk

#include "platform/ShellOpen.h"
#include "platform/ShellOpenLog.h"

#include <deque>
#include <mutex>

namespace zelk::platform {
namespace {

std::mutex g_lock;
std::deque<std::filesystem::path> g_requests;

} // namespace

void recordShellOpen(const std::filesystem::path& target)
{
    std::lock_guard lk(g_lock);
    if (g_requests.size() == kShellOpenRecordSize) g_requests.pop_front();
    g_requests.push_back(target);
}

std::vector<std::filesystem::path> shellOpenRequests()
{
    std::lock_guard lk(g_lock);
    return {g_requests.begin(), g_requests.end()};
}

void clearShellOpenRequests()
{
    std::lock_guard lk(g_lock);
    g_requests.clear();
}

} // namespace zelk::platform

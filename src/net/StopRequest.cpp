#include "net/StopRequest.h"

#include <atomic>

namespace {

// Set from signal handlers: only a lock-free atomic may be touched there.
std::atomic<bool> g_stop{false};
std::atomic<bool> g_userStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace

namespace net_stop {

void Request() noexcept
{
    g_stop.store(true, std::memory_order_relaxed);
}

bool Requested() noexcept
{
    return g_stop.load(std::memory_order_relaxed) || g_userStop.load(std::memory_order_relaxed);
}

bool EndRequested() noexcept
{
    return g_stop.load(std::memory_order_relaxed);
}

void Clear() noexcept
{
    g_stop.store(false, std::memory_order_relaxed);
}

void RequestByUser() noexcept
{
    g_userStop.store(true, std::memory_order_relaxed);
}

bool RequestedByUser() noexcept
{
    return g_userStop.load(std::memory_order_relaxed);
}

void ClearUserRequest() noexcept
{
    g_userStop.store(false, std::memory_order_relaxed);
}

} // namespace net_stop

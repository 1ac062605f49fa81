#include "store/ChangeStamp.h"

#include <atomic>

namespace change_stamp {

std::uint64_t Next()
{
    static std::atomic<std::uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace change_stamp

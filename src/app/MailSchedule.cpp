#include "app/MailSchedule.h"

#include <algorithm>

#include "app/Document.h"

namespace {

// The page keeps the interval within these minutes; a data file from elsewhere might not, and an
// interval of 0 would check on every tick for ever.
constexpr std::int64_t kMinInterval = 1;
constexpr std::int64_t kMaxInterval = 3600;

} // namespace

bool CMailSchedule::Tick(std::int64_t now, CBrivantelDoc* doc)
{
    if (now < m_next || !doc || doc->IsChecking())
        return false;
    doc->CheckMail();
    // Read after the check: a change made meanwhile counts from this step on.
    const std::int64_t minutes =
        std::clamp<std::int64_t>(doc->GetMailCheckerData().interval, kMinInterval, kMaxInterval);
    m_next += minutes * 60;
    return true;
}

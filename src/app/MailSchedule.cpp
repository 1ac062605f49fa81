#include "app/MailSchedule.h"

#include <algorithm>

#include "app/Document.h"

namespace {

// The page keeps the interval within these minutes; a data file from elsewhere might not, and an
// interval of 0 would check on every tick for ever.
constexpr std::int64_t kMinInterval = 1;
constexpr std::int64_t kMaxInterval = 3600;

} // namespace

namespace {

std::int64_t IntervalSeconds(CBrivantelDoc& doc)
{
    return std::clamp<std::int64_t>(doc.GetMailCheckerData().interval, kMinInterval, kMaxInterval) * 60;
}

} // namespace

bool CMailSchedule::Tick(std::int64_t now, CBrivantelDoc* doc)
{
    if (!doc)
        return false;
    // The next check is never more than an interval away; further means the clock went back.
    if (m_next - now > IntervalSeconds(*doc))
        m_next = now + IntervalSeconds(*doc);
    if (now < m_next || doc->IsChecking())
        return false;
    doc->CheckMail();
    // Read after the check: a change made meanwhile counts from this step on.
    const std::int64_t interval = IntervalSeconds(*doc);
    m_next += interval;
    if (m_next <= now)
        m_next = now + interval; // missed checks are not made up one by one
    return true;
}

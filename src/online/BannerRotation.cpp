#include "online/BannerRotation.h"

void CBannerRotation::Clamp(const CBannerList& list)
{
    if (m_index >= list.size()) {
        m_index = 0;
        m_ticks = 0;
    }
}

bool CBannerRotation::Tick(const CBannerList& list)
{
    if (list.empty())
        return false;
    Clamp(list);
    ++m_ticks;
    if (m_ticks < list[m_index]->GetDuration())
        return false;
    m_ticks = 0;
    m_index = (m_index + 1) % list.size();
    return true;
}

const CBannerInfo* CBannerRotation::Current(const CBannerList& list)
{
    if (list.empty())
        return nullptr;
    Clamp(list);
    return list[m_index].get();
}

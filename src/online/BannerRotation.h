#pragma once

#include <cstddef>

#include "online/BannerInfo.h"

// Which banner is shown and for how long: every tick (10 seconds) counts towards the current
// banner's duration; when it is reached the next banner, wrapping at the end, becomes current.
// A duration of 1 or less lasts one tick.
class CBannerRotation
{
public:
    // True when the current banner changed: its picture must be loaded and drawn.
    bool Tick(const CBannerList& list);

    // The current entry, or null for an empty list. A list that became shorter than the index
    // (the list is read again while running) starts over at its first entry.
    const CBannerInfo* Current(const CBannerList& list);

    std::size_t GetIndex() const { return m_index; }

private:
    void Clamp(const CBannerList& list);

    std::size_t m_index = 0;
    int m_ticks = 0;
};

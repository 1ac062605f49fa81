#include "ui/WindowPlacement.h"

#include <cstdio>

std::string CWindowPlacement::Format() const
{
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i", flags, showCommand, minX, minY,
                  maxX, maxY, left, top, right, bottom);
    return buffer;
}

std::optional<CWindowPlacement> CWindowPlacement::Parse(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    CWindowPlacement p;
    const int read = std::sscanf(text.c_str(), "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i", &p.flags, &p.showCommand,
                                 &p.minX, &p.minY, &p.maxX, &p.maxY, &p.left, &p.top, &p.right, &p.bottom);
    if (read != 10)
        return std::nullopt;
    return p;
}

#pragma once

#include <optional>
#include <string>

// The main window's placement as kept in "Settings"/"WindowPos": ten integers written with
// "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i".
struct CWindowPlacement
{
    static constexpr int kRestoreToMaximized = 2; // in flags
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;

    int flags = 0;
    int showCommand = kShowNormal;
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0; // the normal (not maximised) rectangle

    std::string Format() const;
    // Nothing unless the text holds all ten integers.
    static std::optional<CWindowPlacement> Parse(const std::string& text);

    bool operator==(const CWindowPlacement&) const = default;
};

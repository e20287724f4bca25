// The placement of a window as the settings file stores it: eight integers.
#pragma once

#include <cstdint>

namespace app {

struct WindowPlacement {
    std::int32_t Flags = 0; // kRestoreToMaximized when a minimised window comes back maximised
    std::int32_t Show = 1;  // kShowNormal, kShowMinimized or kShowMaximized
    std::int32_t MaxX = -1, MaxY = -1; // position of the maximised window
    // The normal (restored) window rectangle; Right and Bottom are edges, not sizes.
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

    static constexpr std::int32_t kRestoreToMaximized = 2;
    static constexpr std::int32_t kShowNormal = 1;
    static constexpr std::int32_t kShowMinimized = 2;
    static constexpr std::int32_t kShowMaximized = 3;

    bool operator==(const WindowPlacement&) const = default;
};

} // namespace app

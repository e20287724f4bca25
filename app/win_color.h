// Colours as the settings file, the keyword list and rich text files keep them: a Windows colour
// value, 0x00BBGGRR (red in the low byte). Standard library only.
#pragma once

#include <cstdint>

namespace wincolor {

struct TRgb {
    int red;
    int green;
    int blue;
};

constexpr TRgb ToRgb(std::uint32_t color) {
    return {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
            static_cast<int>((color >> 16) & 0xFF)};
}

constexpr std::uint32_t FromRgb(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red) | (static_cast<std::uint32_t>(green) << 8) |
           (static_cast<std::uint32_t>(blue) << 16);
}

} // namespace wincolor

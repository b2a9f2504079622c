#pragma once

// What the three parts of XP_button (its life cycle, drawing and interaction) share.
#include <windows.h>

#include <cstdint>

namespace xp_button_detail {

// Ring colours, 0x00BBGGRR.
inline constexpr std::int32_t kHoverRing = 0x0080C0FF;       // red 255, green 192, blue 128
inline constexpr std::int32_t kFocusRing = 0x00FF0000;       // blue
inline constexpr std::int32_t kLeftClickedRing = 0x00FFB4B4; // red 180, green 180, blue 255

inline std::int32_t SysColor(int index) {
    return static_cast<std::int32_t>(GetSysColor(index));
}

// A colour whose high byte is 0x80 names a system colour by its index; the face is drawn
// and shaded in the colour that index stands for now.
inline std::int32_t Resolve(std::int32_t color) {
    const auto bits = static_cast<std::uint32_t>(color);
    if ((bits & 0xFF000000u) == 0x80000000u) {
        return SysColor(static_cast<int>(bits & 0xFFu));
    }
    return static_cast<std::int32_t>(bits & 0x00FFFFFFu);
}

inline COLORREF Ref(std::int32_t color) {
    return static_cast<COLORREF>(color);
}

} // namespace xp_button_detail

#pragma once

#include <cstdint>

// The arithmetic of the button's face, kept apart from GDI so that it is tested on the host.
namespace ButtonMath {

// A colour 0x00BBGGRR moved by an amount: red and green by the amount, blue in proportion to
// itself (b * amount / 192). Each channel is kept within 0..255, so that a dark colour shaded
// down still splits into three channels.
std::int32_t ShadeColor(std::int32_t color, std::int32_t amount);

// The shading amount of gradient line i (1..height): -(35 / height) * i, to nearest, ties even.
std::int32_t GradientAmount(std::int32_t height, std::int32_t i);

// Top of the caption's rectangle: height / 2 - size + k, with the size in points used as
// pixels at 96 dots per inch (four decimals, 82500 is 8.25) and in proportion at any other
// resolution, as the glyphs grow with it; k 3 for the pressed look and 2 otherwise; to
// nearest, ties even.
std::int32_t CaptionTop(std::int32_t height, std::int64_t sizeScaled, bool shifted,
                        std::int32_t dpi);

// Pixel height of a font of the given point size (four decimals) at the given dots per inch,
// to nearest, ties even.
std::int32_t PointsToPixels(std::int64_t sizeScaled, std::int32_t dpi);

} // namespace ButtonMath

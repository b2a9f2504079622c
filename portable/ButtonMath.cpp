#include "portable/ButtonMath.h"

#include "portable/PropertyValue.h"
#include "portable/RuntimeError.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ButtonMath {

namespace {

std::int32_t Channel(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, 255));
}

} // namespace

std::int32_t ShadeColor(std::int32_t color, std::int32_t amount) {
    // Integer division and remainder truncate toward zero, as the channels are defined.
    const std::int64_t r = color & 0xFF;
    const std::int64_t g = (color / 256) % 256;
    const std::int64_t b = (color / 65536) % 256;
    const std::int32_t r2 = Channel(r + amount);
    const std::int32_t g2 = Channel(g + amount);
    const std::int32_t b2 = Channel(b + (b * amount) / 192);
    return r2 + 256 * g2 + 65536 * b2;
}

std::int32_t GradientAmount(std::int32_t height, std::int32_t i) {
    // The quotient first, then times i, in double precision: this order decides the ties.
    const double amount = -((35.0 / height) * i);
    const double rounded = std::nearbyint(amount);
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        RaiseOverflow();
    }
    return static_cast<std::int32_t>(rounded);
}

std::int32_t CaptionTop(std::int32_t height, std::int64_t sizeScaled, bool shifted,
                        std::int32_t dpi) {
    const std::int64_t k = shifted ? 3 : 2;
    // Everything times 10,000 (the size's decimals) and times 96, so that the sum is exact.
    const std::int64_t scaled =
        (std::int64_t{height} * 5000 + k * 10000) * 96 - sizeScaled * std::int64_t{dpi};
    const std::int64_t top = DivideRoundingToEven(scaled, std::int64_t{10000} * 96);
    if (top < std::numeric_limits<std::int32_t>::min() ||
        top > std::numeric_limits<std::int32_t>::max()) {
        RaiseOverflow();
    }
    return static_cast<std::int32_t>(top);
}

std::int32_t PointsToPixels(std::int64_t sizeScaled, std::int32_t dpi) {
    const std::int64_t pixels = DivideRoundingToEven(sizeScaled * dpi, std::int64_t{72} * 10000);
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(pixels, 0, std::numeric_limits<std::int32_t>::max()));
}

} // namespace ButtonMath

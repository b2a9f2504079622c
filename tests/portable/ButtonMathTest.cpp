#include "portable/ButtonMath.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ButtonMath;

TEST(ShadeColor, MovesRedAndGreenByTheAmountAndBlueInProportion) {
    struct Case {
        std::int32_t color;
        std::int32_t amount;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0x00FFFFFF, -3, 0x00FCFCFC},
        {0x00FFFFFF, -35, 0x00D1DCDC},
        {0x00FFFFFF, -40, 0x00CAD7D7},
        {0x00CAD7D7, -35, 0x00A6B4B4}, // the pressed face's last gradient row
        {0x00FFFFFF, 35, 0x00FFFFFF},  // positive amounts stop at 255
        {0x00123456, 40, 0x00155C7E},
        {0x00808080, 0, 0x00808080},
        // Dark colours stop at 0 in every channel instead of borrowing from the next one.
        {0x00000000, -35, 0x00000000},
        {0x00102030, -35, 0x000E000D},
        {0x00FF0000, -40, 0x00CA0000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShadeColor(c.color, c.amount), c.expected)
            << std::hex << c.color << " by " << std::dec << c.amount;
    }
}

TEST(GradientAmount, RoundsEachLineToEven) {
    struct Case {
        std::int32_t height;
        std::vector<std::int32_t> amounts;
    };
    const Case cases[] = {
        {25, {-1,  -3,  -4,  -6,  -7,  -8,  -10, -11, -13, -14, -15, -17, -18,
              -20, -21, -22, -24, -25, -27, -28, -29, -31, -32, -34, -35}},
        {10, {-4, -7, -10, -14, -18, -21, -24, -28, -32, -35}},
    };
    for (const Case& c : cases) {
        std::vector<std::int32_t> got;
        for (std::int32_t i = 1; i <= c.height; ++i) {
            got.push_back(GradientAmount(c.height, i));
        }
        EXPECT_EQ(got, c.amounts) << "H = " << c.height;
    }
    EXPECT_EQ(GradientAmount(14, 1), -2); // 2.5 goes to 2
    EXPECT_EQ(GradientAmount(14, 5), -12);
    EXPECT_EQ(GradientAmount(17, 15), -31);
}

TEST(CaptionTop, HalfHeightLessSizePlusShiftToEven) {
    struct Case {
        std::int32_t height;
        std::int64_t size;
        bool shifted;
        std::int32_t dpi;
        std::int32_t top;
    };
    const Case cases[] = {
        {25, 80000, false, 96, 6},
        {25, 80000, true, 96, 8}, // 6.5 and 7.5
        {23, 80000, false, 96, 6},
        {23, 80000, true, 96, 6}, // 5.5 and 6.5: the caption stays
        {21, 80000, false, 96, 4},
        {21, 80000, true, 96, 6}, // 4.5 and 5.5
        {25, 82500, false, 96, 6},
        {25, 82500, true, 96, 7}, // 6.25 and 7.25
        {17, 82500, false, 96, 2},
        {0, 80000, false, 96, -6},
        // At 144 dots per inch the size counts half as much again: 8.25 is 12.375 pixels.
        {26, 82500, false, 144, 3},
        {26, 82500, true, 144, 4},  // 2.625 and 3.625
        {25, 80000, false, 144, 2}, // 2.5 goes to 2
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CaptionTop(c.height, c.size, c.shifted, c.dpi), c.top)
            << "H " << c.height << " size " << c.size << (c.shifted ? " pressed" : "") << " at "
            << c.dpi;
    }
}

TEST(PointsToPixels, ScalesByDotsPerInchToEven) {
    EXPECT_EQ(PointsToPixels(80000, 96), 11);  // 10.67
    EXPECT_EQ(PointsToPixels(82500, 96), 11);  // 11 exactly
    EXPECT_EQ(PointsToPixels(90000, 100), 12); // 12.5 goes to 12
    EXPECT_EQ(PointsToPixels(82500, 144), 16); // 16.5 goes to 16
}

} // namespace

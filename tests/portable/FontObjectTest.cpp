#include "portable/FontObject.h"
#include "portable/RuntimeError.h"

#include <gtest/gtest.h>

namespace {

TEST(FontObject, SizeTakesTextOrStoredNumbers) {
    FontObject font;
    font.SetSize(std::string_view("8"));
    EXPECT_EQ(font.Size().scaled, 80000);
    font.SetSize(PropertyValue(Fixed4{82500}));
    EXPECT_EQ(font.Size().scaled, 82500);
    font.SetSize(PropertyValue(std::int16_t{12}));
    EXPECT_EQ(font.Size().scaled, 120000);
    font.SetSize(PropertyValue(std::string("9.75")));
    EXPECT_EQ(font.Size().scaled, 97500);
}

TEST(FontObject, RefusedSizesLeaveTheSizeAlone) {
    struct Case {
        PropertyValue value;
        int error;
    };
    const Case cases[] = {
        {std::string("ocho"), ErrorNumber::TypeMismatch},
        {std::string("0"), ErrorNumber::InvalidPropertyValue},
        {std::int32_t{-8}, ErrorNumber::InvalidPropertyValue},
        {std::monostate{}, ErrorNumber::InvalidPropertyValue},
    };
    for (const Case& c : cases) {
        FontObject font;
        font.SetSize(Fixed4{82500});
        int error = 0;
        try {
            font.SetSize(c.value);
        } catch (const RuntimeError& e) {
            error = e.Number();
        }
        EXPECT_EQ(error, c.error) << AsString(c.value);
        EXPECT_EQ(font.Size().scaled, 82500) << AsString(c.value);
    }
}

TEST(FontObject, BoldAndWeightAreOneAttribute) {
    FontObject font;
    EXPECT_FALSE(font.Bold());
    EXPECT_EQ(font.Weight(), 400);
    font.SetBold(true);
    EXPECT_EQ(font.Weight(), 700);
    font.SetWeight(600);
    EXPECT_TRUE(font.Bold());
    font.SetWeight(500);
    EXPECT_FALSE(font.Bold());
    EXPECT_THROW(font.SetWeight(1001), RuntimeError);
    EXPECT_EQ(font.Weight(), 500);
}

} // namespace

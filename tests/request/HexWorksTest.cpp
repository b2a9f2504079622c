#include "request/HexWorks.h"
#include "portable/RuntimeError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using HexWorks::HexToLong;

namespace {

struct HexCase {
    std::string text;
    std::optional<std::int32_t> value; // nullopt: the overflow error
};

void PrintTo(const HexCase& c, std::ostream* os) {
    *os << '"' << (c.text.size() > 24 ? c.text.substr(0, 24) + "..." : c.text) << "\" ("
        << c.text.size() << " bytes)";
}

class HexToLongTest : public testing::TestWithParam<HexCase> {};

TEST_P(HexToLongTest, ConvertsOrOverflows) {
    const HexCase& c = GetParam();
    if (c.value) {
        EXPECT_EQ(HexToLong(c.text), *c.value);
        return;
    }
    try {
        HexToLong(c.text);
        FAIL() << "expected the overflow error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::Overflow);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, HexToLongTest,
    testing::Values(
        HexCase{"", 0}, HexCase{"0", 0}, HexCase{"ff", 255}, HexCase{"FF", 255}, HexCase{"fF", 255},
        HexCase{"1A000", 0x1A000}, HexCase{"00a0", 0xA0}, HexCase{"7FFFFFFF", 2147483647},
        HexCase{"7fffffff", 2147483647}, HexCase{"80000000", std::nullopt},
        HexCase{"FFFFFFFF", std::nullopt}, HexCase{"7FFFFFFF0", std::nullopt},
        // Leading zeros never overflow, however many; a ninth significant digit always does.
        HexCase{std::string(19, '0') + "1", 1}, HexCase{"0007FFFFFFF", 2147483647},
        HexCase{"1" + std::string(8, '0'), std::nullopt},
        // A character that is not a digit keeps its place as a zero digit.
        HexCase{"1G", 16}, HexCase{"G1", 1}, HexCase{"1 0", 256}, HexCase{"-1", 1}, HexCase{" ", 0},
        HexCase{"zz", 0}, HexCase{"g0000000A", 10},
        // A character written with several UTF-8 bytes is still one digit position.
        HexCase{"\xC3\xB1"
                "1",
                1},
        HexCase{"1\xC3\xB1", 16},
        // The length limit holds whatever the characters are.
        HexCase{std::string(32767, '0'), 0}, HexCase{std::string(32766, '0') + "A", 10},
        HexCase{std::string(32768, '0'), std::nullopt},
        HexCase{std::string(32768, 'x'), std::nullopt}));

TEST(HexToLong, CountsCharactersNotBytesForTheLengthLimit) {
    // 32,767 two-byte characters are 65,534 bytes but still within the limit.
    std::string text;
    for (int i = 0; i < 32767; ++i) {
        text += "\xC3\xB1";
    }
    EXPECT_EQ(HexToLong(text), 0);
    text += "\xC3\xB1";
    EXPECT_THROW(HexToLong(text), RuntimeError);
}

} // namespace

#include "portable/PastedHex.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// What translators copy from their tools, and what must never pass for a value.
TEST(PastedHex, TakesTheDigitsOfTheNotationsToolsCopyAndNothingElse) {
    struct Case {
        std::wstring clip;
        std::optional<std::wstring> digits;
    };
    const Case cases[] = {
        // Plain digits, as copied, case kept.
        {L"1a2B", L"1a2B"},
        {L"0", L"0"},
        // The notations, each once at the front or the back.
        {L"0x1A000", L"1A000"},
        {L"0X1a000", L"1a000"},
        {L"$80F0", L"80F0"},
        {L"&H80F0", L"80F0"},
        {L"&h80f0", L"80f0"},
        {L"183FFh", L"183FF"},
        {L"183FFH", L"183FF"},
        {L"0FFh", L"0FF"},
        {L"ah", L"a"},     // the digit a and the suffix: h is never a digit
        {L"0xABh", L"AB"}, // both marks say hexadecimal
        {L"0x0", L"0"},
        // Whitespace anywhere: bytes with spaces, line ends, tabs, no-break spaces.
        {L"00 80", L"0080"},
        {L"00 80 FF\r\n", L"0080FF"},
        {L"1A\r\n2B\r\n", L"1A2B"},
        {L"\t 0x1A000 \n", L"1A000"},
        {L"0x 1A", L"1A"},
        {L"1A h", L"1A"},
        {L"00\u00A080\u202F\u3000FF", L"0080FF"},
        {L"\uFEFF1A", L"1A"},
        // Refused whole: anything else is left, or nothing is.
        {L"", std::nullopt},
        {L" \r\n", std::nullopt},
        {L"0x", std::nullopt},
        {L"$", std::nullopt},
        {L"h", std::nullopt},
        {L"0xh", std::nullopt},
        {L"hh", std::nullopt},
        {L"-h", std::nullopt},
        {L"--dry-run", std::nullopt},
        {L"0x00 0x80", std::nullopt}, // a mark per byte: which bytes, in which order?
        {L"0x0x1A", std::nullopt},
        {L"1Ahh", std::nullopt},
        {L"h1A", std::nullopt},
        {L"1h2", std::nullopt},
        {L"0 x1A", std::nullopt},
        {L"x1A", std::nullopt},
        {L"#80F0", std::nullopt},
        {L"0b1010", L"0b1010"}, // b is a digit: it is hexadecimal 0B1010, not binary
        {L"1A,2B", std::nullopt},
        {L"-1A", std::nullopt},
        {L"1A.", std::nullopt},
        {L"１Ａ", std::nullopt}, // full-width digits are not the field's digits
        {L"0x1G", std::nullopt},
        {L"\u0141A", std::nullopt}, // Ł: its low byte is the letter A
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PastedHexDigits(c.clip), c.digits) << "«" << Narrow(c.clip) << "»";
    }
}

} // namespace

#include "request/HexWorks.h"

#include "portable/Hex.h"
#include "portable/RuntimeError.h"
#include "portable/Utf8.h"

#include <cstdint>

namespace HexWorks {

namespace {
constexpr std::size_t MaxTextLength = 32767;
constexpr std::int64_t MaxLong = 0x7FFFFFFF;

// A character that is not a hexadecimal digit counts as 0: the window's conversion never
// refuses a text, the rules judge it. Zeltor.exe's own reader (zeltor/Arguments.cpp) refuses
// such a character instead, on purpose: on its command line it is a mistake to report.
int DigitValue(char c) {
    return std::max(0, HexDigitValue(c));
}
} // namespace

std::int32_t HexToLong(std::string_view text) {
    const std::size_t n = CharCount(text);
    if (n > MaxTextLength) {
        RaiseOverflow();
    }
    std::int64_t total = 0;
    std::size_t position = n;
    for (char c : text) {
        if (IsContinuationByte(c)) {
            continue; // the rest of a character that already took its position
        }
        --position;
        const int digit = DigitValue(c);
        if (digit == 0) {
            continue;
        }
        // 16^8 alone is past 7FFFFFFF, so any non-zero digit that far left overflows.
        if (position >= 8) {
            RaiseOverflow();
        }
        total += static_cast<std::int64_t>(digit) << (4 * position);
        if (total > MaxLong) {
            RaiseOverflow();
        }
    }
    return static_cast<std::int32_t>(total);
}

} // namespace HexWorks

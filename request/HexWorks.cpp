#include "HexWorks.h"

#include "RuntimeError.h"

#include <cstdint>

namespace HexWorks {

namespace {
constexpr std::size_t MaxTextLength = 32767;
constexpr std::int64_t MaxLong = 0x7FFFFFFF;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}
} // namespace

std::size_t CharCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        if (!IsContinuationByte(c)) {
            ++count;
        }
    }
    return count;
}

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

#pragma once

#include <cstdint>
#include <string>

// Hexadecimal text, written in one place: upper case, "0x" only where a reader needs to be told.

// 0 to 15 for 0-9, A-F and a-f; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The digits of `value`, at least `minDigits` of them, written at `out`, which must have room
// for 16; returns the end. It needs no memory, so it serves where none may be asked for.
inline char* PutHexDigits(char* out, std::uint64_t value, int minDigits = 1) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (n < minDigits && n < 16) {
        digits[n++] = '0';
    }
    while (n > 0) {
        *out++ = digits[--n];
    }
    return out;
}

// "1A000": the digits alone.
inline std::string HexDigits(std::uint64_t value, int minDigits = 1) {
    char text[16];
    return std::string(text, PutHexDigits(text, value, minDigits));
}

// "0x1A000".
inline std::string Hex(std::uint64_t value, int minDigits = 1) {
    return "0x" + HexDigits(value, minDigits);
}

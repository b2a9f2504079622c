#pragma once

#include <cstddef>
#include <string_view>

// Text is UTF-8 inside the program; these count and cut it in characters (code points), as a
// person reads it, never in bytes.

inline bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The number of characters in a UTF-8 text.
inline std::size_t CharCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        count += IsContinuationByte(c) ? 0 : 1;
    }
    return count;
}

// The last `count` characters of a UTF-8 text.
inline std::string_view LastChars(std::string_view utf8, std::size_t count) {
    std::size_t at = utf8.size();
    while (at > 0 && count > 0) {
        --at;
        if (!IsContinuationByte(utf8[at])) {
            --count;
        }
    }
    return utf8.substr(at);
}

// The first `count` characters of a UTF-8 text.
inline std::string_view FirstChars(std::string_view utf8, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < utf8.size(); ++at) {
        if (!IsContinuationByte(utf8[at]) && seen++ == count) {
            break;
        }
    }
    return utf8.substr(0, at);
}

#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace HexWorks {

// True for the 22 characters the hexadecimal fields take: 0-9, A-F and a-f.
constexpr bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// True when every character is one of those (the empty text too).
template <class Char>
bool IsHexText(std::basic_string_view<Char> text) {
    return std::all_of(text.begin(), text.end(),
                       [](Char c) { return IsHexDigit(static_cast<wchar_t>(c)); });
}

// The base-16 value of a field's text. Every character holds one digit position; a
// character that is not a hexadecimal digit counts as 0. Raises the overflow run-time
// error when the value exceeds 7FFFFFFF or the text is longer than 32,767 characters.
std::int32_t HexToLong(std::string_view text);

} // namespace HexWorks

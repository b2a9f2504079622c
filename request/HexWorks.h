#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace HexWorks {

// The number of characters in a UTF-8 text (code points, not bytes).
std::size_t CharCount(std::string_view utf8);

// The base-16 value of a field's text. Every character holds one digit position; a
// character that is not a hexadecimal digit counts as 0. Raises the overflow run-time
// error when the value exceeds 7FFFFFFF or the text is longer than 32,767 characters.
std::int32_t HexToLong(std::string_view text);

} // namespace HexWorks

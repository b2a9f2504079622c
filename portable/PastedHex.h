#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a paste into a hexadecimal field becomes. Hex editors, debuggers and assemblers copy a
// value with its notation ("0x1A000", "$80F0", "&H80F0", "183FFh") or as bytes with spaces
// between them ("00 80"), often with a line end after it. Whitespace anywhere, one leading
// "0x", "0X", "$", "&H" or "&h" and one trailing "h" or "H" fall away; the hexadecimal digits
// that remain are the paste, as they were copied (lower case stays lower case). Anything else
// left over, or no digit at all, refuses the whole paste: nullopt.
//
// "h" is never a hexadecimal digit, so a trailing one is always the suffix: "ah" is the digit
// a, and "0xABh", with both marks, is AB.
std::optional<std::wstring> PastedHexDigits(std::wstring_view text);

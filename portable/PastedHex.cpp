#include "portable/PastedHex.h"

#include "portable/Hex.h"

#include <initializer_list>

namespace {

// The spaces a copy may carry: ASCII whitespace and line ends, and the Unicode spaces that
// word processors, web pages and some editors put between bytes.
bool IsSpace(wchar_t c) {
    switch (c) {
    case L' ':
    case L'\t':
    case L'\r':
    case L'\n':
    case L'\v':
    case L'\f':
    case 0x00A0: // no-break space
    case 0x202F: // narrow no-break space
    case 0x3000: // ideographic space
    case 0xFEFF: // zero-width no-break space, a byte-order mark left in front
        return true;
    default:
        return c >= 0x2000 && c <= 0x200B; // the typographic spaces, zero width included
    }
}

bool IsHexDigit(wchar_t c) {
    return c < 0x80 && HexDigitValue(static_cast<char>(c)) >= 0;
}

} // namespace

std::optional<std::wstring> PastedHexDigits(std::wstring_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    for (std::wstring_view prefix : {L"0x", L"0X", L"$", L"&H", L"&h"}) {
        if (text.starts_with(prefix)) {
            text.remove_prefix(prefix.size());
            break;
        }
    }
    if (!text.empty() && (text.back() == L'h' || text.back() == L'H')) {
        text.remove_suffix(1);
    }
    std::wstring digits;
    for (wchar_t c : text) {
        if (IsSpace(c)) {
            continue;
        }
        if (!IsHexDigit(c)) {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    return digits;
}

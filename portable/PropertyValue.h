#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

// A number with four decimals held as an integer times 10,000 (8.25 is 82500), as the
// font size is stored: exact to compare and to write back.
struct Fixed4 {
    std::int64_t scaled = 0;

    friend bool operator==(const Fixed4&, const Fixed4&) = default;
};

// What a host's property store holds under one key. std::monostate is "empty": it stands
// for a missing value and for a default that no value equals.
using PropertyValue =
    std::variant<std::monostate, bool, std::int16_t, std::int32_t, Fixed4, std::string>;

// Error numbers a conversion can raise besides type mismatch (13) and overflow (6).
namespace ErrorNumber {
inline constexpr int InvalidPropertyValue = 380;
} // namespace ErrorNumber

// Conversions that take a stored value "as" a type, the way a forms runtime does:
// numbers and numeric text convert, True is -1, empty is 0, False or "".
// A value that cannot be taken as the type raises a type mismatch (13); a number outside
// the 32-bit range raises an overflow (6).
bool AsBoolean(const PropertyValue& value);
std::int32_t AsLong(const PropertyValue& value);
Fixed4 AsFixed4(const PropertyValue& value);
std::string AsString(const PropertyValue& value);

// Decimal text ("8", " 8.25", "-3,5") to four decimals, ties to even past the fourth.
// Raises a type mismatch when the text is not a number.
Fixed4 ParseFixed4(std::string_view text);

// Exact comparison for "is this the default?": numbers compare by value whatever their width
// (numeric text too, as the text "8" for a font size of 8), booleans only with booleans, other
// text only with identical text, and empty with nothing.
bool SameValue(const PropertyValue& a, const PropertyValue& b);

// Rounds value / divisor to the nearest integer, ties to even (divisor > 0).
std::int64_t DivideRoundingToEven(std::int64_t value, std::int64_t divisor);

#include "portable/PropertyValue.h"

#include "portable/RuntimeError.h"

#include <cctype>
#include <limits>

namespace {

[[noreturn]] void RaiseTypeMismatch() {
    throw RuntimeError(ErrorNumber::TypeMismatch, "No coinciden los tipos");
}

constexpr std::int64_t kScale = 10000;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::int32_t CheckedLong(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        RaiseOverflow();
    }
    return static_cast<std::int32_t>(value);
}

bool IsNumber(const PropertyValue& v) {
    return std::holds_alternative<std::int16_t>(v) || std::holds_alternative<std::int32_t>(v) ||
           std::holds_alternative<Fixed4>(v);
}

} // namespace

std::int64_t DivideRoundingToEven(std::int64_t value, std::int64_t divisor) {
    std::int64_t quotient = value / divisor;
    std::int64_t remainder = value % divisor;
    if (remainder < 0) { // floor division, so the remainder lies in 0..divisor-1
        quotient -= 1;
        remainder += divisor;
    }
    const std::int64_t twice = remainder * 2;
    if (twice > divisor || (twice == divisor && quotient % 2 != 0)) {
        quotient += 1;
    }
    return quotient;
}

Fixed4 ParseFixed4(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits beyond these would overflow the 64-bit integer long before any use.
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 100;
    std::int64_t whole = 0;
    std::int64_t fraction = 0; // as a fraction over `denominator`
    std::int64_t denominator = 1;
    bool digits = false;
    bool point = false;
    for (char c : text) {
        if (c == '.' || c == ',') {
            if (point) {
                RaiseTypeMismatch();
            }
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (!point) {
                whole = whole * 10 + (c - '0');
                if (whole > kLimit / kScale) {
                    RaiseOverflow();
                }
            } else if (denominator < kLimit) {
                fraction = fraction * 10 + (c - '0');
                denominator *= 10;
            }
        } else {
            RaiseTypeMismatch();
        }
    }
    if (!digits) {
        RaiseTypeMismatch();
    }
    std::int64_t scaled = whole * kScale;
    if (denominator <= kScale) {
        scaled += fraction * (kScale / denominator);
    } else {
        scaled += DivideRoundingToEven(fraction, denominator / kScale);
    }
    return Fixed4{negative ? -scaled : scaled};
}

bool AsBoolean(const PropertyValue& value) {
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b;
    }
    if (const auto* s = std::get_if<std::string>(&value)) {
        if (EqualsNoCase(Trim(*s), "true")) {
            return true;
        }
        if (EqualsNoCase(Trim(*s), "false")) {
            return false;
        }
        return ParseFixed4(*s).scaled != 0;
    }
    return AsFixed4(value).scaled != 0;
}

Fixed4 AsFixed4(const PropertyValue& value) {
    return std::visit(
        [](const auto& v) -> Fixed4 {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return Fixed4{0};
            } else if constexpr (std::is_same_v<T, bool>) {
                return Fixed4{v ? -kScale : 0};
            } else if constexpr (std::is_same_v<T, Fixed4>) {
                return v;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return ParseFixed4(v);
            } else {
                return Fixed4{static_cast<std::int64_t>(v) * kScale};
            }
        },
        value);
}

std::int32_t AsLong(const PropertyValue& value) {
    return CheckedLong(DivideRoundingToEven(AsFixed4(value).scaled, kScale));
}

std::string AsString(const PropertyValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "True" : "False";
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, Fixed4>) {
                const std::int64_t magnitude = v.scaled < 0 ? -v.scaled : v.scaled;
                std::string text = (v.scaled < 0 ? "-" : "") + std::to_string(magnitude / kScale);
                std::int64_t rest = magnitude % kScale;
                if (rest != 0) {
                    std::string digits = std::to_string(rest + kScale).substr(1);
                    while (digits.back() == '0') {
                        digits.pop_back();
                    }
                    text += "." + digits;
                }
                return text;
            } else {
                return std::to_string(v);
            }
        },
        value);
}

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
    if (IsNumber(a) && IsNumber(b)) {
        return AsFixed4(a) == AsFixed4(b);
    }
    // A default given as text ("8" for a font size) stands for the number it spells.
    const auto* text = std::get_if<std::string>(IsNumber(a) ? &b : &a);
    if ((IsNumber(a) || IsNumber(b)) && text != nullptr) {
        try {
            return ParseFixed4(*text) == AsFixed4(IsNumber(a) ? a : b);
        } catch (const RuntimeError&) {
            return false;
        }
    }
    if (std::holds_alternative<std::monostate>(a) || std::holds_alternative<std::monostate>(b)) {
        return false;
    }
    return a == b;
}

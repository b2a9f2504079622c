#include "zeltor/words/Text.h"

#include "portable/Hex.h"
#include "portable/Utf8.h"

namespace zeltor {

std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Shown(std::string_view text, std::size_t limit) {
    std::string clean(text);
    for (char& c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    if (CharCount(clean) <= limit) {
        return clean;
    }
    const std::size_t head = (limit - 1) / 2;
    const std::size_t tail = limit - 1 - head;
    return std::string(FirstChars(clean, head)) + "…" + std::string(LastChars(clean, tail));
}

std::string Quote(std::string_view text, std::size_t limit) {
    return "«" + Shown(text, limit) + "»";
}

std::string StringAt(std::size_t index, std::uint64_t position) {
    return "la cadena " + std::to_string(index) + " (posición " + Hex(position) + ")";
}

std::uint32_t ReadLittleEndian(const std::uint8_t* bytes, unsigned size) {
    std::uint32_t value = 0;
    for (unsigned i = size; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

void WriteLittleEndian(std::uint32_t value, unsigned size, std::uint8_t* bytes) {
    for (unsigned i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::string AsTyped(std::uint32_t value, unsigned size) {
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
        text += HexDigits((value >> (8 * i)) & 0xFF, 2);
    }
    return text;
}

std::uint32_t Reversed(std::uint32_t value, unsigned size) {
    std::uint32_t reversed = 0;
    for (unsigned i = 0; i < size; ++i) {
        reversed = (reversed << 8) | ((value >> (8 * i)) & 0xFF);
    }
    return reversed;
}

} // namespace zeltor

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How Zeltor.exe writes what a translator reads.
namespace zeltor {

// Every line stays under 300 characters, so that a message box or a log viewer shows it
// whole. Texts that come from outside are shortened in the middle to these lengths.
constexpr std::size_t kNameLimit = 80;   // a file name
constexpr std::size_t kFieldLimit = 20;  // a field as typed
constexpr std::size_t kSystemLimit = 48; // the system's own words about a failure

// "1 entrada", "3 entradas".
std::string Count(std::uint64_t n, const char* one, const char* many);

// Text from outside as it may appear in a line: control characters (a newline would split
// the line) become '?', and a long text loses its middle.
std::string Shown(std::string_view text, std::size_t limit);

// «text», shortened to `limit` characters.
std::string Quote(std::string_view text, std::size_t limit = kNameLimit);

// "la cadena 3 (posición 0x1A0F0)": how a message names a string of the text.
std::string StringAt(std::size_t index, std::uint64_t position);

// A pointer's value from its `size` bytes, little endian, and back.
std::uint32_t ReadLittleEndian(const std::uint8_t* bytes, unsigned size);
void WriteLittleEndian(std::uint32_t value, unsigned size, std::uint8_t* bytes);

// A value's bytes as they stand in the ROM, the way the first pointer is typed: 0x0082 is "8200".
std::string AsTyped(std::uint32_t value, unsigned size);

// The value with its `size` bytes in the other order.
std::uint32_t Reversed(std::uint32_t value, unsigned size);

} // namespace zeltor

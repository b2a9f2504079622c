#pragma once

#include "portable/RecalcArguments.h"
#include "zeltor/Maps.h"
#include "zeltor/Outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zeltor {

// The arguments as numbers.
struct Request {
    std::string romName;
    std::uint32_t textStart = 0, tableStart = 0, tableEnd = 0;
    PointerSize pointerSize = PointerSize::All()[0];
    std::uint8_t separator = 0;
    std::optional<std::uint32_t> firstPointer;
    // What the first pointer was typed as, for the messages that name it.
    std::string firstPointerText;
    RecalcOptions options;
    std::optional<MapKind> map; // --map, when given
};

// A raw file offset: hexadecimal digits only, up to FFFFFFFF.
std::optional<std::uint32_t> ParseOffset(std::string_view text);
// The first pointer's bytes as they stand in the ROM, little endian: "00a0" is 0xA000.
std::optional<std::uint32_t> ParseLittleEndian(std::string_view text, PointerSize size);

// What went wrong with the command line, in a translator's words.
Refusal UsageRefusal(const ArgumentsError& error);

// Each field checked and turned into a number; the first that is wrong refuses.
std::variant<Request, Refusal> ParseRequest(const RecalcArguments& arguments);

} // namespace zeltor

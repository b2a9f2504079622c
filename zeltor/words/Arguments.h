#pragma once

#include "portable/RecalcArguments.h"
#include "zeltor/Outcome.h"
#include "zeltor/rom/Maps.h"
#include "zeltor/rom/PointerFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zeltor {

// The arguments as numbers: one table's request.
struct Request {
    std::string romName;
    std::uint32_t textStart = 0, tableStart = 0, tableEnd = 0;
    PointerSize pointerSize = PointerSize::All()[0];
    // --big-endian and --split as asked, on the command line or on the table's line. A map
    // whose console stores big endian (MapChoice::bigEndian) makes a table big endian unasked.
    bool bigEndian = false, split = false;
    // A split table's later runs, when they lie apart (the table file's --run).
    std::vector<std::uint32_t> runs;
    std::uint8_t separator = 0;
    // Read as Format() stores it; once the map has settled the byte order, the run reads it
    // again from its text with FirstPointerValue.
    std::optional<std::uint32_t> firstPointer;
    // What the first pointer was typed as, for the messages that name it.
    std::string firstPointerText;
    // The run's options as given: options.keepChecksum (--keep-checksum) holds for the whole
    // run, never for one table.
    RecalcOptions options;
    std::optional<MapKind> map; // --map, when given

    PointerFormat Format() const { return {pointerSize, bigEndian, split}; }
    TablePlace Place() const { return {tableStart, tableEnd, runs}; }
};

// A raw file offset: hexadecimal digits only, up to FFFFFFFF.
std::optional<std::uint32_t> ParseOffset(std::string_view text);
// The first pointer's bytes as they stand in the ROM, little endian: "00a0" is 0xA000.
std::optional<std::uint32_t> ParseLittleEndian(std::string_view text, PointerSize size);

// A field that begins with "-": an option written after the ROM, where only fields go.
Refusal OptionAfterRom(const std::string& option);

// "--dry-run", "-h": what an option looks like, and no field does.
bool LooksLikeOption(std::string_view text);

// The first argument after the ROM that looks like an option, if any.
std::optional<std::string> OptionAmongFields(const std::vector<std::string>& args);

// What went wrong with the command line, in a translator's words.
Refusal UsageRefusal(const ArgumentsError& error);

// The options that hold for the whole run (the map, and the formats that every table takes),
// checked into a request with the ROM's name and no table yet.
std::variant<Request, Refusal> ReadRunOptions(const RecalcArguments& arguments);
// The fields after the ROM, checked in order into `request`, whose format must be set already:
// the first pointer is read in it. The first field that is wrong refuses.
std::optional<Refusal> ReadFields(const RecalcFields& fields, Request& request);
// ReadRunOptions and then ReadFields, for a plain command line.
std::variant<Request, Refusal> ReadRequest(const RecalcArguments& arguments);

// ReadRequest, refusing what the run cannot carry out yet: --tables, and --big-endian and
// --split, which it would write as little endian and whole. The run takes them once the plan
// reads and writes a PointerFormat.
std::variant<Request, Refusal> ParseRequest(const RecalcArguments& arguments);

} // namespace zeltor

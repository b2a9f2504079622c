#pragma once

#include "portable/RecalcArguments.h"
#include "zeltor/Outcome.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// How a game stores its pointers, and the table's bytes turned into values and back. Nothing
// here reads the ROM: a table's bytes come in as one buffer, in the order described below.
namespace zeltor {

struct PointerFormat {
    PointerSize size = PointerSize::All()[0];
    // Most significant byte first (Mega Drive); otherwise lowest first.
    bool bigEndian = false;
    // SIZE runs of N bytes each (N the entry count): the lowest byte of every entry, then the
    // next byte of every entry, and so on (the usual NES layout). With bigEndian as well, the
    // run of the most significant bytes comes first.
    bool split = false;

    bool operator==(const PointerFormat&) const = default;
};

// Where a table's bytes lie in the file. START-END (END included) holds the whole table, all
// its runs when it is split. A split table whose runs lie apart is named by its first run,
// START-END, and `runs`: where each later run starts, in the order the runs are read (the
// table file's `--run POS`, once per run after the first). Every run is as long as the first.
struct TablePlace {
    std::uint32_t start = 0, end = 0;
    std::vector<std::uint32_t> runs;

    bool operator==(const TablePlace&) const = default;
};

// A stretch of the file: the table's bytes are its pieces read one after another.
struct Piece {
    std::uint64_t start = 0, size = 0;
    bool operator==(const Piece&) const = default;
};

// How many entries a START-END of `span` bytes holds when it is the whole table; nothing when
// the span is not a whole number of them.
std::optional<std::uint64_t> EntryCount(std::uint64_t span, const PointerFormat& format);
// Why it is not: "la tabla mide 0xF bytes, que no son un número entero de punteros de 2 bytes".
std::string NotWholeEntries(std::uint64_t span, const PointerFormat& format);

// The entry count of the table at `place`, or why there is none: END before START, a span of
// no whole number of entries, runs given for a table that is not split or not one per run
// after the first, or runs that overlap.
std::variant<std::uint64_t, Refusal> CountEntries(const TablePlace& place,
                                                  const PointerFormat& format);
// The file's pieces that hold the table's `entries`, in the order the table's bytes are read.
// `place` must have passed CountEntries.
std::vector<Piece> TablePieces(const TablePlace& place, const PointerFormat& format,
                               std::uint64_t entries);

// Entry k's value in `table`, whose size is the entry count times the pointer size.
std::uint32_t DecodeEntry(const PointerFormat& format, std::span<const std::uint8_t> table,
                          std::size_t k);
// Writes entry k's value into `table`; the value must fit the pointer size.
void EncodeEntry(const PointerFormat& format, std::uint32_t value, std::span<std::uint8_t> table,
                 std::size_t k);
// Every entry's value, and the bytes of a table that holds `values`.
std::vector<std::uint32_t> DecodeTable(const PointerFormat& format,
                                       std::span<const std::uint8_t> table);
std::vector<std::uint8_t> EncodeTable(const PointerFormat& format,
                                      std::span<const std::uint32_t> values);

// FIRST is typed as its bytes stand in the ROM, byte after byte in the order the format stores
// them: lowest first for a little-endian table, split or not, where missing bytes are the high
// ones, 00 ("a0" is 0xA0); most significant first for a big-endian table, every byte given
// ("0000a000" is 0xA000). Nothing when the text is not that.
std::optional<std::uint32_t> FirstPointerValue(std::string_view typed, const PointerFormat& format);
// What FIRST must look like, for the message that refuses it.
std::string FirstPointerRule(const PointerFormat& format);
// A value as FIRST would be typed for it: 0x8200 is "0082" little endian, "8200" big endian.
std::string TypedAs(std::uint32_t value, const PointerFormat& format);
// "little endian", "big endian", "little endian, dividida"...: for the report.
std::string FormatName(const PointerFormat& format);

} // namespace zeltor

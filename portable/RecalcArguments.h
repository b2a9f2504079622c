#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// What a recalculation request is, for both programs: the window builds Zeltor.exe's arguments
// from it and Zeltor.exe parses them back. The order of the arguments, the options, the digit
// count of a pointer and the names of the files Zeltor.exe leaves beside the ROM are known here
// and nowhere else.

// Bytes per pointer: 2, 3 or 4.
class PointerSize {
public:
    // "2", "3" or "4", exactly; anything else is no size.
    static std::optional<PointerSize> FromText(std::string_view text);
    // The three sizes, smallest first.
    static std::array<PointerSize, 3> All() {
        return {PointerSize(2), PointerSize(3), PointerSize(4)};
    }
    static PointerSize Largest() { return PointerSize(4); }

    unsigned Bytes() const { return m_Bytes; }
    // Hexadecimal digits of one pointer's value: two per byte.
    std::size_t Digits() const { return std::size_t{2} * m_Bytes; }
    // Its largest value.
    std::uint64_t MaxValue() const { return (std::uint64_t{1} << (8 * m_Bytes)) - 1; }
    std::string Text() const { return std::to_string(m_Bytes); }

    bool operator==(const PointerSize&) const = default;

private:
    explicit PointerSize(unsigned bytes) : m_Bytes(bytes) {}
    unsigned m_Bytes;
};

// The fields as typed, named for what they are. Offsets are hexadecimal positions in the file.
struct RecalcFields {
    std::string romName; // relative to the recalculator's working folder
    std::string textStart;
    std::string tableStart;
    std::string tableEnd; // the table's last byte, included
    std::string pointerSize;
    std::string separator; // the byte that ends each string
    // The first pointer's bytes as they stand in the ROM, when given.
    std::optional<std::string> firstPointer;

    bool operator==(const RecalcFields&) const = default;
};

// What only a command line asks for; the window sends none of them.
struct RecalcOptions {
    bool dryRun = false;            // --dry-run: report only, write nothing
    bool force = false;             // --force: write even what looks like a mistake
    std::optional<std::string> map; // --map NAME: the console's address map, as typed
    bool bigEndian = false;         // --big-endian: each pointer's most significant byte first
    bool split = false;             // --split: the table is one run of bytes per pointer byte
    // --keep-checksum: the checksum in the console's header is left as it is, for a ROM whose
    // checksum is wrong on purpose.
    bool keepChecksum = false;
    // --tables FILE: every table of the run, one per line of FILE; the ROM is then the only
    // field on the command line.
    std::optional<std::string> tables;

    bool operator==(const RecalcOptions&) const = default;
};

struct RecalcArguments {
    RecalcOptions options;
    RecalcFields fields;

    bool operator==(const RecalcArguments&) const = default;
};

// The arguments after the program's name: the options, then the ROM, then the other fields in
// their order (with --tables, the ROM alone: the other fields are not sent). A ROM whose name
// begins with "-" is preceded by "--", so it is never an option.
std::vector<std::string> BuildRecalcArguments(const RecalcArguments& arguments);

enum class RecalcCommand { Recalculate, Help, Version };

struct ParsedArguments {
    RecalcCommand command = RecalcCommand::Recalculate;
    RecalcArguments arguments; // for Recalculate only
};

struct ArgumentsError {
    enum class Kind {
        FieldCount,       // not 6 or 7 arguments after the options
        UnknownOption,    // an option before the ROM that is none of ours
        MissingValue,     // --map or --tables as the last argument
        TablesFieldCount, // with --tables, anything but the ROM after the options
    };
    Kind kind = Kind::FieldCount;
    std::string option;         // UnknownOption, MissingValue
    std::size_t fieldCount = 0; // FieldCount, TablesFieldCount
};

// Help and version only as the sole argument. Otherwise options come first, in any order, up
// to the ROM (or up to "--"); from the ROM on every argument is a field, so a field can never
// become an option.
std::variant<ParsedArguments, ArgumentsError>
ParseRecalcArguments(const std::vector<std::string>& args);

// The files Zeltor.exe leaves beside the ROM, named after it.
std::string LogName(const std::string& rom);
// The backup: ".bak" first, then ".bak1", ".bak2", ...
std::string BackupName(const std::string& rom, unsigned attempt);

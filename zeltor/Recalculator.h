#pragma once

#include "zeltor/Files.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zeltor {

// One exit code per class of outcome; --help and the README list them.
enum class Exit : int {
    Ok = 0,            // recalculated, or nothing to change, or a dry run that would succeed
    Usage = 1,         // wrong number of arguments
    BadField = 2,      // a hexadecimal field is bad, or SIZE is not 2, 3 or 4
    BadTable = 3,      // table reversed, not whole entries, outside the file, overlapping text,
                       // or too large for the memory at hand
    TextTooShort = 4,  // the file ends before N strings are found
    Overflow = 5,      // a new value does not fit in SIZE bytes
    CannotOpen = 6,    // the ROM cannot be opened (for writing, unless --dry-run), or is
                       // not a regular file
    WriteFailed = 7,   // backup, write or check failed; the ROM was left as it was
    RestoreFailed = 8, // a write failed and the original bytes could not be put back
};

struct Refusal {
    Exit code;
    std::string message;
};

// The arguments as typed, after the program's name.
struct Arguments {
    std::string romName;
    std::string textStart, tableStart, tableEnd, pointerSize, separator;
    std::optional<std::string> firstPointer;
    bool dryRun = false;
    bool help = false;
};

// The arguments as numbers.
struct Request {
    std::string romName;
    std::uint32_t textStart = 0, tableStart = 0, tableEnd = 0;
    unsigned pointerSize = 2;
    std::uint8_t separator = 0;
    std::optional<std::uint32_t> firstPointer;
    bool dryRun = false;
};

struct Entry {
    std::uint64_t tableOffset;
    std::uint32_t oldValue, newValue;
    std::uint64_t stringOffset, stringLength;
};

// What a run would do, worked out without writing anything. Its size follows the strings
// actually found, never the table's declared size alone.
struct Plan {
    std::vector<std::uint64_t> starts; // offset of string k, one per entry
    std::uint64_t textEnd = 0;         // offset of the last string's separator
    std::vector<std::uint8_t> oldTable, newTable;
    std::uint32_t first = 0; // the value entry 0 gets
    std::vector<std::string> warnings;
};

Entry EntryAt(const Request& request, const Plan& plan, std::size_t k);

std::variant<Arguments, Refusal> ParseArguments(const std::vector<std::string>& args);
std::variant<Request, Refusal> ParseRequest(const Arguments& args);

// A raw file offset: hexadecimal digits only, up to FFFFFFFF.
std::optional<std::uint32_t> ParseOffset(std::string_view text);
// The first pointer's bytes as they stand in the ROM, little endian: "00a0" is 0xA000.
std::optional<std::uint32_t> ParseLittleEndian(std::string_view text, unsigned size);

std::variant<Plan, Refusal> MakePlan(const Request& request, File& rom);

// The whole program: parses, plans, backs up, writes, checks and reports. Returns the exit
// code. The report goes to `out` and to the log beside the ROM. `err` gets only what the
// translator should read: one line per warning, and on failure one error line, last.
int Run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out,
        std::ostream& err);

std::string HelpText();
std::string LogPath(const std::string& rom);
// Where the backup is copied before it gets its .bak name; a leftover is an unfinished copy.
std::string TemporaryBackupPath(const std::string& rom);

} // namespace zeltor

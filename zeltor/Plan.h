#pragma once

#include "zeltor/Arguments.h"
#include "zeltor/Files.h"
#include "zeltor/Maps.h"
#include "zeltor/Outcome.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace zeltor {

// What a run would do, worked out without writing anything. Strings pair with the old table's
// distinct values in ascending order: string j with values[j], so entries that shared a value
// share a string, and an unordered table keeps its order. Its size follows the strings
// actually found, never the table's declared size alone.
struct Plan {
    std::vector<std::uint64_t> starts; // offset of string j, one per distinct old value
    std::vector<std::uint32_t> values; // the old table's distinct values, ascending
    std::uint64_t textEnd = 0;         // offset of the last string's separator
    std::vector<std::uint8_t> oldTable, newTable;
    std::size_t entries = 0;             // in the table
    std::vector<std::uint32_t> stringOf; // the string each entry's old value pairs with
    std::uint32_t first = 0;             // the value the first string's pointer gets
    std::unique_ptr<AddressMap> map;
    std::string mapReason;
    std::vector<std::string> warnings;

    // Offset of string j's separator.
    std::uint64_t EndOf(std::size_t j) const;
};

// One line of the report.
struct Entry {
    std::uint64_t tableOffset;
    std::uint32_t oldValue, newValue;
    std::uint64_t stringOffset, stringLength;
};

Entry EntryAt(const Request& request, const Plan& plan, std::size_t k);
// How many entries get a value other than the one they hold.
std::size_t ChangedEntries(const Request& request, const Plan& plan);
std::uint32_t OldValue(const Request& request, const Plan& plan, std::size_t k);

// Reads the strings and the old table and works out the new one. A request that cannot be
// carried out, that looks mistaken (unless --force), or the memory running out, is a refusal.
std::variant<Plan, Refusal> MakePlan(const Request& request, File& rom);

// What looks like a mistake in a plan, one sentence each that names the field to check; the
// most telling first.
std::vector<std::string> FindMistakes(const Request& request, const Plan& plan, File& rom,
                                      std::uint64_t fileSize);

} // namespace zeltor

#pragma once

#include "zeltor/Arguments.h"
#include "zeltor/Files.h"
#include "zeltor/Maps.h"
#include "zeltor/Outcome.h"
#include "zeltor/judge/Judge.h"

#include <cstdint>
#include <limits>
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
    // The table's bytes before and after, its pieces one after another, and how they hold the
    // pointers.
    std::vector<std::uint8_t> oldTable, newTable;
    PointerFormat format;
    std::size_t entries = 0; // in the table
    // The string each entry's old value pairs with; kNoString for an entry of padding, which
    // is left as it is.
    std::vector<std::uint32_t> stringOf;
    static constexpr std::uint32_t kNoString = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t first = 0; // the value the first string's pointer gets
    Story story = Story::Assumed;
    std::unique_ptr<AddressMap> map;
    std::string mapReason;
    std::vector<std::string> warnings; // each a line of stderr and of the report
    std::vector<std::string> notes;    // for the report only

    // Offset of string j's separator.
    std::uint64_t EndOf(std::size_t j) const;
};

// One line of the report.
struct Entry {
    std::uint64_t tableOffset;
    std::uint32_t oldValue, newValue;
    std::uint64_t stringOffset, stringLength;
    bool padding; // no string: left as it was
};

Entry EntryAt(const Request& request, const Plan& plan, std::size_t k);
// How many entries get a value other than the one they hold.
std::size_t ChangedEntries(const Request& request, const Plan& plan);
std::uint32_t OldValue(const Request& request, const Plan& plan, std::size_t k);

// Reads what the judgement needs, judges the fields and works out the new table. A request
// that cannot be carried out, that the evidence shows mistaken (unless --force), or the memory
// running out, is a refusal.
std::variant<Plan, Refusal> MakePlan(const Request& request, File& rom);

} // namespace zeltor

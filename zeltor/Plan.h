#pragma once

#include "zeltor/Arguments.h"
#include "zeltor/Files.h"
#include "zeltor/Outcome.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace zeltor {

// What a run would do, worked out without writing anything. Its size follows the strings
// actually found, never the table's declared size alone.
struct Plan {
    std::vector<std::uint64_t> starts; // offset of string k, one per entry
    std::uint64_t textEnd = 0;         // offset of the last string's separator
    std::vector<std::uint8_t> oldTable, newTable;
    std::uint32_t first = 0; // the value entry 0 gets
    std::vector<std::string> warnings;
};

// One line of the report.
struct Entry {
    std::uint64_t tableOffset;
    std::uint32_t oldValue, newValue;
    std::uint64_t stringOffset, stringLength;
};

Entry EntryAt(const Request& request, const Plan& plan, std::size_t k);
std::uint32_t OldValue(const Request& request, const Plan& plan, std::size_t k);

// Reads the strings and the old table and works out the new one. A request that cannot be
// carried out, or the memory running out, is a refusal.
std::variant<Plan, Refusal> MakePlan(const Request& request, File& rom);

// What looks like a mistake in a plan that can be carried out: each becomes a warning.
void AddWarnings(const Request& request, Plan& plan, File& rom, std::uint64_t fileSize);

} // namespace zeltor

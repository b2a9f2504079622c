#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"
#include "zeltor/judge/Judge.h"
#include "zeltor/rom/PointerFormat.h"
#include "zeltor/rom/Recognize.h"
#include "zeltor/words/Arguments.h"
#include "zeltor/write/Write.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zeltor {

// One text block's strings, shared by every table over it. Strings pair with the distinct old
// values of all those tables together, in ascending order: string j with values[j], so entries
// that shared a value share a string, and an unordered table keeps its order. Its size follows
// the strings actually found, never a table's declared size alone.
struct Block {
    std::vector<std::uint64_t> starts;    // offset of string j, one per distinct old value
    std::vector<std::uint32_t> values;    // the distinct old values, ascending
    std::vector<std::uint64_t> newValues; // string j's new value
    std::uint64_t textEnd = 0;            // offset of the last string's separator
    std::uint32_t first = 0;              // the value the first string's pointer gets
    Story story = Story::Assumed;

    // Offset of string j's separator.
    std::uint64_t EndOf(std::size_t j) const;
};

// What a run would do to one table, worked out without writing anything.
struct Plan {
    Request request;      // as the run reads it: the byte order settled
    std::size_t line = 0; // in the table file; 0 for the command line's table
    std::shared_ptr<const Block> block;
    std::vector<Piece> pieces; // where the table's bytes lie, in the order they are read
    // The table's bytes before and after, its pieces one after another.
    std::vector<std::uint8_t> oldTable, newTable;
    PointerFormat format;
    std::size_t entries = 0;
    // The string each entry's old value pairs with; kNoString for an entry of padding, which
    // is left as it is.
    std::vector<std::uint32_t> stringOf;
    static constexpr std::uint32_t kNoString = std::numeric_limits<std::uint32_t>::max();
    std::string mapName, mapReason;
    std::optional<RecognisedHeader> header; // the console's, whose checksum follows the tables
    std::vector<std::string> warnings;      // each a line of stderr and of the report
    std::vector<std::string> notes;         // for the report only

    // Each piece with its bytes before and after, for the write; they point into this plan.
    std::vector<Range> Ranges() const;
};

// One line of the report.
struct Entry {
    std::uint64_t tableOffset;
    std::uint32_t oldValue, newValue;
    std::uint64_t stringOffset, stringLength;
    bool padding; // no string: left as it was
};

Entry EntryAt(const Plan& plan, std::size_t k);
// How many entries get a value other than the one they hold.
std::size_t ChangedEntries(const Plan& plan);
std::uint32_t OldValue(const Plan& plan, std::size_t k);

// A table of the run: its request and its line in the table file (0 on the command line).
struct TableJob {
    Request request;
    std::size_t line = 0;
};

// Every table of a run, planned or refused, in the order given. Tables with the same TEXTO
// share their block of text: they are read and judged together. A table that the evidence
// shows mistaken (unless --force), that cannot be carried out, or the memory running out, is a
// refusal; the run then writes nothing.
struct RunPlan {
    std::vector<std::variant<Plan, Refusal>> tables;

    // The first refusal in the order given, if any: the run's exit code and last line.
    const Refusal* FirstRefusal() const;
    // Every planned table.
    std::vector<const Plan*> Plans() const;
};

RunPlan MakeRunPlan(const std::vector<TableJob>& jobs, File& rom);

} // namespace zeltor
